// Text files read for SPF_IS_FILENAME: regular files only, never waited on, bounded in size.
#pragma once

#include <cstddef>
#include <string>

#include "platform/speech/status.h"

namespace lexavo::sp {

// Larger files are refused with Status::TextFileTooLarge: they would be days of speech.
inline constexpr std::size_t kMaxTextFileBytes = 32u << 20;

// Reads `path` as UTF-8 (a leading byte-order mark dropped, invalid bytes as U+FFFD). A pipe,
// device or folder is refused without blocking on it.
HRESULT ReadTextFile(const std::string& path, std::string* out, std::size_t maxBytes = kMaxTextFileBytes);
// What ReadTextFile would refuse before reading: a missing, unreadable, non-regular or
// too large file.
HRESULT CheckTextFile(const std::string& path, std::size_t maxBytes = kMaxTextFileBytes);

}  // namespace lexavo::sp
