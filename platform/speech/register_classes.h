#pragma once

namespace lexavo::sp {
// Registers the platform's own classes with the class factory, once per process.
void RegisterPlatformClasses();
}
