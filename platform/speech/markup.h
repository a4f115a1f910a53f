// Checks speech markup before it reaches the engine.
#pragma once

#include <functional>
#include <string_view>

#include "platform/speech/status.h"

namespace lexavo::sp {

// Whether the engine has a voice by this name ("name" or "name+variant").
using VoiceNameCheck = std::function<bool(std::string_view)>;

// The longest start tag the engine reads whole; the rest of a longer one it would read aloud.
inline constexpr std::size_t kMaxStartTagBytes = 480;
inline constexpr int kMaxElementDepth = 64;

// S_OK when `utf8` is well-formed markup: a document (with an XML declaration or a <speak>
// root) or a fragment of text and elements. External entities are never loaded and entity
// expansion is bounded; otherwise Status::MalformedMarkup.
// Markup that reaches outside the text is Status::MarkupRefused: an <audio> element, a URI
// (src, uri, xml:base, an external entity), a start tag longer than kMaxStartTagBytes, nesting deeper than
// kMaxElementDepth, a language tag that is not one, and, with `knowsVoice`, a <voice name>
// the engine does not have.
HRESULT ValidateMarkup(std::string_view utf8, const VoiceNameCheck& knowsVoice = {});

}  // namespace lexavo::sp
