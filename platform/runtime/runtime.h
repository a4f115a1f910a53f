// The application run time: prepares the process, loads windows from their stored
// definitions, dispatches the controls' events to handlers, runs the message loop, keeps the
// exit list, and offers the services a program's handlers use.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/controls/component.h"

class QApplication;

namespace lexavo::runtime {

// A support library's entry point: a message code and two parameters, one result.
using LibraryEntry = std::intptr_t (*)(std::int32_t code, std::intptr_t p1, std::intptr_t p2);
using Handler = std::function<void()>;
using ExitCallback = void (*)();
using StartRoutine = int (*)();

inline constexpr std::int32_t kLibraryStart = 1;
inline constexpr std::int32_t kLibraryEnd = 6;
inline constexpr std::int32_t kAllocate = 2024;
inline constexpr std::int32_t kFindWindow = 2006;

// Run-time property numbers, for every control; 8 and above belong to the component library.
enum RuntimeProperty : int {
    kLeft = 0, kTop = 1, kWidth = 2, kHeight = 3, kTag = 4, kVisible = 5, kRuntimeDisabled = 6, kMousePointer = 7,
    kFirstLibraryProperty = 8,
};

struct Config {
    std::vector<LibraryEntry> supportLibraries;
    // Stored window definitions by window id, as files in the program's folder.
    std::map<std::int32_t, std::string> definitions;
    // Handlers by the names the definitions bind events to.
    std::map<std::string, Handler> handlers;
    // Seams: where milestones are reported, how the fatal-error box is shown and how a fatal
    // error ends the process (by default std::_Exit(-1)).
    std::function<void(const std::string&)> trace;
    std::function<void(const std::string&)> showErrorBox;
    std::function<void(int)> fatalExit;
    // The clock behind LocalNow; the system's local time when empty.
    std::function<std::tm()> clock;
};

// A text handed to a handler: a fresh block of host memory, freed when it goes.
struct HostFree {
    void operator()(char* p) const;
};
using HostText = std::unique_ptr<char, HostFree>;

// A window message (SendMessageA) delivered to a widget as a synchronous event.
class WindowMessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    WindowMessageEvent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(EventType()), message(message), wParam(wParam), lParam(lParam) {}
    const std::uint32_t message;
    const std::uintptr_t wParam;
    const std::intptr_t lParam;
    std::intptr_t result = 0;
};

class Runtime {
public:
    // The run time of the running program; only valid inside RunProgram.
    static Runtime& Current();

    // Memory of the host; exhaustion is fatal, so the result is never null.
    void* Allocate(std::size_t bytes);
    void Free(void* block);
    HostText CopyText(const std::string& text);

    // Appends unless already listed.
    void AddExitCallback(ExitCallback callback);

    // Creates the window and all its controls, raises its created event, then shows it.
    void LoadWindow(std::int32_t windowId);
    // Dispatches messages until the last window of the program is gone.
    void RunMessageLoop();

    [[noreturn]] void Fatal(const std::string& message);
    // A fatal error unless 0 <= index < count.
    void CheckIndex(std::int64_t index, std::int64_t count);

    // Control properties by number.
    std::int32_t GetNumber(std::int32_t windowId, std::int32_t controlId, int number);
    void SetNumber(std::int32_t windowId, std::int32_t controlId, int number, std::int32_t value);
    HostText GetText(std::int32_t windowId, std::int32_t controlId, int number);
    void SetText(std::int32_t windowId, std::int32_t controlId, int number, const std::string& text);
    void Command(std::int32_t windowId, std::int32_t controlId, int command, std::vector<controls::PropertyValue> args);
    // The widget of a live window (controlId 0) or control, or null.
    QWidget* Widget(std::int32_t windowId, std::int32_t controlId) const;

    // Services.
    const std::string& RunDirectory() const { return runDirectory_; }
    void ShowMessage(const std::string& text);
    void ShellOpen(const std::string& path);
    std::tm LocalNow() const;
    bool PathExists(const std::string& path) const;
    bool CreateFolder(const std::string& path) const;
    static std::string NumberText(std::int64_t value);

    // The host notification function's work: memory and window objects.
    std::intptr_t Notify(std::int32_t code, std::intptr_t p1, std::intptr_t p2);

    // The shutdown sequence. RunProgram enters it when the start routine returns, and the
    // process's teardown of static objects enters it once more; the second pass finds
    // nothing left to do.
    int Shutdown();

    ~Runtime();

private:
    friend int RunProgram(int&, char**, Config, StartRoutine);
    class WindowObjectTable;
    explicit Runtime(Config config);

    void Prepare(int& argc, char** argv);
    void Trace(const std::string& what) const;
    void BindEvents(QWidget* window);
    // Runs a handler; an error that leaves it is a fatal error of the run time.
    void Dispatch(const Handler& handler);
    void DestroyWindowLater(QWidget* window);

    Config config_;
    std::unique_ptr<QApplication> app_;
    bool apartmentInitialised_ = false;
    bool librariesStarted_ = false;
    bool shuttingDown_ = false;
    bool shutDown_ = false;
    std::string runDirectory_;
    std::thread::id uiThread_;
    std::map<std::int32_t, QByteArray> definitions_;
    std::vector<ExitCallback> exitList_;
    std::vector<std::unique_ptr<QWidget>> windows_;
    std::unique_ptr<WindowObjectTable> windowObjects_;
};

// Runs a program on the run time: prepares the process, calls `start`, then shuts down.
// Returns the exit code: 0 normally; a fatal error ends the process with -1.
int RunProgram(int& argc, char** argv, Config config, StartRoutine start);

}  // namespace lexavo::runtime
