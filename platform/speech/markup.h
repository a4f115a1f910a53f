// Checks speech markup before it reaches the engine.
#pragma once

#include <string_view>

#include "platform/speech/status.h"

namespace lexavo::sp {

// S_OK when `utf8` is well-formed markup: a document (with an XML declaration or a <speak>
// root) or a fragment of text and elements. External entities are never loaded and entity
// expansion is bounded. Otherwise Status::MalformedMarkup.
HRESULT ValidateMarkup(std::string_view utf8);

}  // namespace lexavo::sp
