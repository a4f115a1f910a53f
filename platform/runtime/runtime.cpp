#include "platform/runtime/runtime.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <cstring>

#include "platform/controls/controls.h"
#include "platform/runtime/control_loader.h"
#include "platform/speech/com_runtime.h"
#include "platform/speech/settings.h"
#include "platform/speech/thread_poster.h"
#include "platform/speech/window_messages.h"

namespace lexavo::runtime {
namespace {

// Kept until the process tears down its static objects, which enters the shutdown again.
std::unique_ptr<Runtime> g_runtime;

std::intptr_t RuntimeNotify(std::int32_t code, std::intptr_t p1, std::intptr_t p2) {
    return Runtime::Current().Notify(code, p1, p2);
}

// Runs platform notifications on the UI thread, between the messages of its loop.
class QueuedPoster final : public sp::ThreadPoster {
public:
    void Post(std::function<void()> task) override {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    }
};

std::int32_t IdOf(const QObject* o) { return o->property("controlId").toInt(); }

// A component-library property (number 8 and above) of a control; false when it has none.
bool LibraryProperty(QWidget* w, int number, controls::PropertyValue* value) {
    controls::Component* c = controls::AsComponent(w);
    return number >= kFirstLibraryProperty && c && c->GetProperty(number - kFirstLibraryProperty, value);
}

}  // namespace

void HostFree::operator()(char* p) const { std::free(p); }

QEvent::Type WindowMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// The host's window objects handed to support libraries, one per window or control, kept
// for the whole run; each reads its widget afresh and finds null once the widget is gone.
class Runtime::WindowObjectTable {
public:
    class Object final : public sp::WindowObject {
    public:
        explicit Object(QWidget* w) : widget_(w) {}
        sp::HWND Handle() const override { return widget_.data(); }

    private:
        QPointer<QWidget> widget_;
    };

    sp::WindowObject* Find(QWidget* widget) {
        auto& slot = objects_[widget];
        if (!slot) slot = std::make_unique<Object>(widget);
        return slot.get();
    }

private:
    std::map<QWidget*, std::unique_ptr<Object>> objects_;
};

Runtime& Runtime::Current() { return *g_runtime; }

Runtime::Runtime(Config config) : config_(std::move(config)), windowObjects_(std::make_unique<WindowObjectTable>()) {}

Runtime::~Runtime() { Shutdown(); }

void Runtime::Trace(const std::string& what) const {
    if (config_.trace) config_.trace(what);
}

void Runtime::Prepare(int& argc, char** argv) {
    // The speech platform's apartment comes first and goes last.
    apartmentInitialised_ = sp::CoInitialize(nullptr) == sp::S_OK;
    Trace("apartment initialised");
    runDirectory_ = sp::ProgramFolder();
    if (::chdir(runDirectory_.empty() ? "/" : runDirectory_.c_str()) != 0) {
        // Start-up goes on; paths are built from RunDirectory anyway.
    }
    Trace("current directory " + runDirectory_);
    uiThread_ = std::this_thread::get_id();
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool needsX = !platform || !*platform || std::strncmp(platform, "xcb", 3) == 0;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (needsX && (!display || !*display) && (!wayland || !*wayland))
        Fatal("there is no display to open the window on (DISPLAY is not set)");
    {
        // Qt ends the process with abort() when it cannot reach the display; that becomes
        // the run time's fatal error, one line and exit code -1, like an unset DISPLAY.
        static std::string s_display;
        s_display = display ? display : "";
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString&) {
            if (type == QtFatalMsg && g_runtime)
                g_runtime->Fatal("there is no display to open the window on (cannot connect to DISPLAY=" + s_display + ")");
        });
        app_ = std::make_unique<QApplication>(argc, argv);
        qInstallMessageHandler(previous);
    }
    app_->setQuitOnLastWindowClosed(false);
    sp::SetCurrentThreadPoster(std::make_shared<QueuedPoster>());
    sp::SetMessageSender([](sp::HWND window, sp::UINT message, sp::WPARAM w, sp::LPARAM l) -> sp::LRESULT {
        WindowMessageEvent event(message, w, l);
        QCoreApplication::sendEvent(static_cast<QWidget*>(window), &event);
        return event.result;
    });
    for (LibraryEntry entry : config_.supportLibraries) entry(kLibraryStart, reinterpret_cast<std::intptr_t>(&RuntimeNotify), 0);
    librariesStarted_ = true;
    Trace("support libraries started");
    for (const auto& [id, file] : config_.definitions) {
        QFile f(QString::fromStdString(runDirectory_ + "/" + file));
        if (!f.open(QIODevice::ReadOnly)) Fatal("the window definitions cannot be read: " + file);
        definitions_[id] = f.readAll();
        if (definitions_[id].isEmpty()) Fatal("the window definitions are empty: " + file);
    }
    Trace("window definitions read");
}

int Runtime::Shutdown() {
    if (shutDown_) return 0;
    shuttingDown_ = true;
    definitions_.clear();
    windows_.clear();
    // Each callback runs at most once: the list is emptied right after the walk.
    const std::vector<ExitCallback> callbacks = std::move(exitList_);
    exitList_.clear();
    for (ExitCallback callback : callbacks) callback();
    Trace("exit callbacks done");
    if (librariesStarted_)
        for (LibraryEntry entry : config_.supportLibraries) entry(kLibraryEnd, 0, 0);
    librariesStarted_ = false;
    Trace("support libraries ended");
    sp::SetMessageSender(nullptr);
    sp::SetCurrentThreadPoster(nullptr);
    app_.reset();
    if (apartmentInitialised_) {
        sp::CoUninitialize();
        apartmentInitialised_ = false;
        Trace("apartment uninitialised");
    }
    shutDown_ = true;
    return 0;
}

void Runtime::Fatal(const std::string& message) {
    Trace("fatal: " + message);
    if (config_.showErrorBox) {
        config_.showErrorBox(message);
    } else if (app_) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("运行时错误"), QString::fromStdString(message),
                        QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);  // messages carry paths and data, never markup
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    } else {
        std::fprintf(stderr, "lexavo: %s\n", message.c_str());
    }
    exitList_.clear();  // the exit callbacks are not called on this path
    Shutdown();
    if (config_.fatalExit) config_.fatalExit(-1);
    std::_Exit(-1);
}

void Runtime::CheckIndex(std::int64_t index, std::int64_t count) {
    if (index < 0 || index >= count)
        Fatal("index " + NumberText(index) + " is outside an array of " + NumberText(count) + " elements");
}

void* Runtime::Allocate(std::size_t bytes) {
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block) Fatal("out of memory");
    return block;
}

void Runtime::Free(void* block) {
    std::free(block);
    if (block) Trace("block freed");
}

HostText Runtime::CopyText(const std::string& text) {
    auto* block = static_cast<char*>(Allocate(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    return HostText(block);
}

void Runtime::AddExitCallback(ExitCallback callback) {
    for (ExitCallback existing : exitList_)
        if (existing == callback) return;
    exitList_.push_back(callback);
}

void Runtime::LoadWindow(std::int32_t windowId) {
    auto it = definitions_.find(windowId);
    if (it == definitions_.end()) Fatal("no stored definition for window " + NumberText(windowId));
    std::unique_ptr<QWidget> window = LoadControls(it->second);
    if (!window) Fatal("the window " + NumberText(windowId) + " cannot be created");
    // A form's top-level geometry gives only its size; its place on the screen is stored apart.
    if (const QVariant place = window->property("windowPosition"); place.isValid()) window->move(place.toPoint());
    window->setProperty("controlId", 0);
    window->setProperty("windowId", windowId);
    controls::InstallSkins(window.get());
    window->installEventFilter(new CloseWatcher(window.get(), [this](QWidget* w) { DestroyWindowLater(w); }));
    QWidget* raw = window.get();
    windows_.push_back(std::move(window));
    Trace("window created");
    BindEvents(raw);
    // The created event: all controls exist, the window is not shown yet.
    const QString created = raw->property("createdHandler").toString();
    if (!created.isEmpty()) {
        auto h = config_.handlers.find(created.toStdString());
        if (h != config_.handlers.end()) Dispatch(h->second);
    }
    Trace("created event done");
    raw->show();
    Trace("window shown");
}

void Runtime::BindEvents(QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const QString name = control->property("eventHandler").toString();
        if (name.isEmpty()) continue;
        auto h = config_.handlers.find(name.toStdString());
        if (h == config_.handlers.end()) continue;
        const Handler handler = h->second;
        if (auto* button = qobject_cast<controls::ButtonEx*>(control))
            QObject::connect(button, &QPushButton::clicked, button, [this, handler] { Dispatch(handler); });
        else if (auto* slider = qobject_cast<controls::SliderbarEx*>(control))
            QObject::connect(slider, &QSlider::valueChanged, slider, [this, handler] { Dispatch(handler); });
    }
}

void Runtime::Dispatch(const Handler& handler) {
    try {
        handler();
    } catch (const std::bad_alloc&) {
        Fatal("out of memory");
    } catch (const std::exception& e) {
        Fatal(e.what());
    }
}

void Runtime::DestroyWindowLater(QWidget* window) {
    QTimer::singleShot(0, app_.get(), [this, window] {
        std::erase_if(windows_, [window](const auto& w) { return w.get() == window; });
        if (windows_.empty() && !shuttingDown_) {
            Trace("last window destroyed");
            QCoreApplication::exit(0);
        }
    });
}

void Runtime::RunMessageLoop() {
    if (windows_.empty()) return;
    Trace("message loop");
    app_->exec();
    Trace("message loop ended");
}

QWidget* Runtime::Widget(std::int32_t windowId, std::int32_t controlId) const {
    for (const auto& w : windows_) {
        if (w->property("windowId").toInt() != windowId) continue;
        if (controlId == 0) return w.get();
        for (QWidget* c : w->findChildren<QWidget*>())
            if (IdOf(c) == controlId) return c;
    }
    return nullptr;
}

std::int32_t Runtime::GetNumber(std::int32_t windowId, std::int32_t controlId, int number) {
    QWidget* w = Widget(windowId, controlId);
    if (!w) return 0;
    switch (number) {
        case kLeft: return w->x();
        case kTop: return w->y();
        case kWidth: return w->width();
        case kHeight: return w->height();
        case kVisible: return w->isHidden() ? 0 : 1;
        case kRuntimeDisabled: return w->isEnabled() ? 0 : 1;
        case kMousePointer: return w->cursor().shape();
        default: break;
    }
    controls::PropertyValue v;
    if (!LibraryProperty(w, number, &v)) return 0;
    const auto* i = std::get_if<std::int32_t>(&v);
    return i ? *i : 0;
}

void Runtime::SetNumber(std::int32_t windowId, std::int32_t controlId, int number, std::int32_t value) {
    QWidget* w = Widget(windowId, controlId);
    if (!w) return;
    switch (number) {
        case kLeft: w->move(value, w->y()); return;
        case kTop: w->move(w->x(), value); return;
        case kWidth: w->resize(value, w->height()); return;
        case kHeight: w->resize(w->width(), value); return;
        case kVisible: w->setVisible(value != 0); return;
        case kRuntimeDisabled: w->setEnabled(value == 0); return;
        case kMousePointer: w->setCursor(static_cast<Qt::CursorShape>(value)); return;
        default: break;
    }
    if (number >= kFirstLibraryProperty)
        if (auto* c = controls::AsComponent(w)) c->SetProperty(number - kFirstLibraryProperty, value);
}

HostText Runtime::GetText(std::int32_t windowId, std::int32_t controlId, int number) {
    QWidget* w = Widget(windowId, controlId);
    if (!w) return HostText();
    if (number == kTag) return CopyText(w->property("tag").toString().toStdString());
    controls::PropertyValue v;
    if (!LibraryProperty(w, number, &v)) return HostText();
    const auto* s = std::get_if<std::string>(&v);
    return s ? CopyText(*s) : HostText();
}

void Runtime::SetText(std::int32_t windowId, std::int32_t controlId, int number, const std::string& text) {
    QWidget* w = Widget(windowId, controlId);
    if (!w) return;
    if (number == kTag) {
        w->setProperty("tag", QString::fromStdString(text));
        return;
    }
    if (number >= kFirstLibraryProperty)
        if (auto* c = controls::AsComponent(w)) c->SetProperty(number - kFirstLibraryProperty, text);
}

void Runtime::Command(std::int32_t windowId, std::int32_t controlId, int command,
                      std::vector<controls::PropertyValue> args) {
    if (auto* c = controls::AsComponent(Widget(windowId, controlId))) c->Command(command, args);
}

std::intptr_t Runtime::Notify(std::int32_t code, std::intptr_t p1, std::intptr_t p2) {
    if (code == kAllocate) return reinterpret_cast<std::intptr_t>(Allocate(static_cast<std::size_t>(p1)));
    if (code == kFindWindow) {
        QWidget* w = Widget(static_cast<std::int32_t>(p1), static_cast<std::int32_t>(p2));
        return w ? reinterpret_cast<std::intptr_t>(windowObjects_->Find(w)) : 0;
    }
    return 0;
}

void Runtime::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), QString::fromStdString(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // messages carry paths and data, never markup
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void Runtime::ShellOpen(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

std::tm Runtime::LocalNow() const {
    if (config_.clock) return config_.clock();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool Runtime::PathExists(const std::string& path) const {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool Runtime::CreateFolder(const std::string& path) const { return ::mkdir(path.c_str(), 0777) == 0; }

std::string Runtime::NumberText(std::int64_t value) { return std::to_string(value); }

int RunProgram(int& argc, char** argv, Config config, StartRoutine start) {
    g_runtime.reset(new Runtime(std::move(config)));
    Runtime& rt = *g_runtime;
    rt.Prepare(argc, argv);
    const int result = start();
    rt.Shutdown();
    return result;
}

}  // namespace lexavo::runtime
