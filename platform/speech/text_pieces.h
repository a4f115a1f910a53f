// Cuts plain text into pieces that an engine renders one at a time, so that the engine is
// free between them. Cuts fall after a sentence's end where one comes in time, else after a
// clause mark, else at a character boundary; the pieces joined give the text back. (An
// engine reads a cut at a comma as a sentence's end, so commas are the second choice.)
#pragma once

#include <string_view>
#include <vector>

namespace lexavo::sp {

// The first piece ends early, at its first sentence's end (it is heard while it is rendered,
// so it should be short), within `firstMaxBytes`; the others hold up to `maxBytes`, never
// splitting a UTF-8 sequence. ASCII marks cut only before white space, so "3.14" and "1,000" stay whole.
std::vector<std::string_view> CutIntoPieces(std::string_view utf8, std::size_t firstMaxBytes, std::size_t maxBytes);

}  // namespace lexavo::sp
