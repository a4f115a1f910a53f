// What the speech layer and its host (the application run time) exchange: the library's
// entry point, the host's notification function and its services.
#pragma once

#include <cstdint>

namespace lexavo::speech {

// The host's notification function: a message code and two parameters, one result.
using HostFunction = std::intptr_t (*)(std::int32_t code, std::intptr_t p1, std::intptr_t p2);

inline constexpr std::int32_t kLibraryStart = 1;  // p1: the host's notification function
inline constexpr std::int32_t kLibraryEnd = 6;
inline constexpr std::int32_t kHostAllocate = 2024;    // p1: size in bytes -> a host block
inline constexpr std::int32_t kHostFindWindow = 2006;  // p1: window id, p2: control id -> window object or 0

// The library's entry point. Code 1 keeps the host's function and answers 0; every other
// code answers -1 and changes nothing.
std::intptr_t SpeechLibraryNotify(std::int32_t code, std::intptr_t p1, std::intptr_t p2);

// The host function kept by the entry point, or null.
HostFunction CurrentHost();
// Host memory for texts and lists handed back; null when there is no host.
void* HostAllocate(std::size_t bytes);

}  // namespace lexavo::speech
