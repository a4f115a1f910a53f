// Runs the program in the test's process, on the run time, with the test's own steps around
// its window-created handler. Every test runs in a process of its own.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "app/main_window.h"
#include "app/program.h"

namespace lexavo::test {

struct Scenario {
    // Inside the created handler, before the program's own (the window is not shown yet).
    std::function<void()> beforeCreated = {};
    // Once the window is on screen; the window is closed after it.
    std::function<void()> afterShown = {};
    int delayMs = 0;
};

// The program's configuration with the scenario wrapped around its created handler.
runtime::Config ProgramConfigWith(Scenario scenario);
// RunProgram with the program's start routine, or another.
int RunProgramUnderTest(runtime::Config config, runtime::StartRoutine start = &app::StartRoutine);

template <class T = QWidget>
T* ControlOf(std::int32_t id) {
    return dynamic_cast<T*>(runtime::Runtime::Current().Widget(app::kMainWindow, id));
}
// The caption of a button or label, "<absent>" when there is none.
std::string CaptionOf(std::int32_t id);

}  // namespace lexavo::test
