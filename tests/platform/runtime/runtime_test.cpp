// The run time: start-up and shutdown order, windows, properties by number, events, the
// host services and fatal errors; on a private X server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <atomic>
#include <climits>
#include <filesystem>
#include <thread>

#include "platform/controls/controls.h"
#include "platform/runtime/runtime.h"
#include "platform/speech/com_runtime.h"
#include "platform/speech/settings.h"
#include "platform/speech/thread_poster.h"
#include "platform/speech/window_messages.h"
#include "tests/support/modal_closer.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xdg_open_standin.h"
#include "tests/support/test_servers.h"

namespace lexavo::runtime {
namespace {

constexpr std::int32_t kWindow = 28673;
constexpr std::int32_t kButton = 1, kSlider = 2, kCombo = 3, kEdit = 4, kLabel = 5;

std::vector<std::string> g_log;
void Log(const std::string& s) { g_log.push_back(s); }

std::intptr_t FakeLibrary(std::int32_t code, std::intptr_t p1, std::intptr_t) {
    Log("library " + std::to_string(code) + (p1 ? " with function" : ""));
    return code == 1 ? 0 : -1;
}
void ExitA() { Log("exit A"); }
void ExitB() { Log("exit B"); }

struct FatalExit {
    int code;
};

// Everything a test needs to bring up the run time; each test runs in its own process.
class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::SharedXvfb().Ready()) << test::SharedXvfb().Error();
        g_log.clear();
    }

    static Config MakeConfig(const std::string& definition = "runtime_test_window.ui") {
        Config c;
        c.supportLibraries = {&FakeLibrary};
        c.definitions = {{kWindow, definition}};
        c.handlers = {{"OnCreated", [] {
                           QWidget* w = Runtime::Current().Widget(kWindow, 0);
                           Log(std::string("created handler, window ") + (w && w->isVisible() ? "visible" : "hidden"));
                       }},
                      {"OnClick", [] { Log("click"); }},
                      {"OnChange", [] { Log("change"); }}};
        c.trace = [](const std::string& s) { Log("rt: " + s); };
        c.showErrorBox = [](const std::string& s) { Log("error box: " + s); };
        c.fatalExit = [](int code) { throw FatalExit{code}; };
        return c;
    }

    static int Run(Config config, StartRoutine start) {
        static char name[] = "runtime_test";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        return RunProgram(argc, argv, std::move(config), start);
    }

    static std::size_t IndexOf(const std::string& entry) {
        for (std::size_t i = 0; i < g_log.size(); ++i)
            if (g_log[i] == entry) return i;
        ADD_FAILURE() << "missing from the log: " << entry;
        return SIZE_MAX;
    }
};

TEST_F(RuntimeTest, StartUpAndShutdownRunInTheirOrder) {
    const int result = Run(MakeConfig(), [] {
        Log("start routine");
        EXPECT_GT(sp::CoInitializeCount(), 0) << "the apartment exists before the program runs";
        auto& rt = Runtime::Current();
        rt.AddExitCallback(&ExitA);
        rt.AddExitCallback(&ExitB);
        rt.AddExitCallback(&ExitA);  // already listed
        rt.LoadWindow(kWindow);
        QTimer::singleShot(50, [] { Runtime::Current().Widget(kWindow, 0)->close(); });
        rt.RunMessageLoop();
        EXPECT_EQ(rt.Widget(kWindow, 0), nullptr) << "the window is destroyed before the loop ends";
        Log("start routine returns");
        return 0;
    });
    EXPECT_EQ(result, 0);
    const std::vector<std::string> expected = {
        "rt: apartment initialised",
        "rt: current directory " + sp::ProgramFolder(),
        "library 1 with function",
        "rt: support libraries started",
        "rt: window definitions read",
        "start routine",
        "rt: window created",
        "created handler, window hidden",
        "rt: created event done",
        "rt: window shown",
        "rt: message loop",
        "rt: last window destroyed",
        "rt: message loop ended",
        "start routine returns",
        "exit A",
        "exit B",
        "rt: exit callbacks done",
        "library 6",
        "rt: support libraries ended",
        "rt: apartment uninitialised",
    };
    EXPECT_EQ(g_log, expected);
    EXPECT_EQ(sp::CoInitializeCount(), 0);
    // The teardown of static objects enters the shutdown once more: nothing is repeated.
    g_log.clear();
    Runtime::Current().Shutdown();
    EXPECT_TRUE(g_log.empty());
}

TEST_F(RuntimeTest, TheCurrentDirectoryIsTheProgramsFolderFromTheStart) {
    test::TempDir elsewhere;
    ASSERT_EQ(::chdir(elsewhere.Path().c_str()), 0);
    Run(MakeConfig(), [] {
        char cwd[PATH_MAX];
        EXPECT_EQ(std::string(::getcwd(cwd, sizeof cwd)), Runtime::Current().RunDirectory());
        EXPECT_EQ(Runtime::Current().RunDirectory(), sp::ProgramFolder());
        return 0;
    });
    const struct {
        const char* path;
        const char* folder;
    } folders[] = {{"/opt/lexavo/lexavo", "/opt/lexavo"}, {"/lexavo", ""}, {"/a/b/c", "/a/b"}};
    for (const auto& f : folders) EXPECT_EQ(sp::FolderOf(f.path), f.folder);
}

TEST_F(RuntimeTest, PropertiesByNumberReachTheRunTimeOrTheComponentLibrary) {
    Run(MakeConfig(), [] {
        auto& rt = Runtime::Current();
        rt.LoadWindow(kWindow);
        // 0..7 are the run time's own.
        EXPECT_EQ(rt.GetNumber(kWindow, kButton, kLeft), 10);
        EXPECT_EQ(rt.GetNumber(kWindow, kButton, kTop), 50);
        EXPECT_EQ(rt.GetNumber(kWindow, kButton, kWidth), 80);
        EXPECT_EQ(rt.GetNumber(kWindow, kButton, kHeight), 30);
        EXPECT_EQ(rt.GetNumber(kWindow, kButton, kVisible), 1);
        rt.SetText(kWindow, kButton, kTag, "标记");
        EXPECT_STREQ(rt.GetText(kWindow, kButton, kTag).get(), "标记");
        // 9 is the button's own disabled state (library number 1), not the run time's 6.
        rt.SetNumber(kWindow, kButton, 9, 1);
        EXPECT_FALSE(rt.Widget(kWindow, kButton)->isEnabled());
        EXPECT_EQ(rt.GetNumber(kWindow, kButton, 9), 1);
        rt.SetNumber(kWindow, kButton, 9, 0);
        EXPECT_TRUE(rt.Widget(kWindow, kButton)->isEnabled());
        EXPECT_STREQ(rt.GetText(kWindow, kButton, 20).get(), "按钮");
        rt.SetText(kWindow, kLabel, 20, "语速-15");
        EXPECT_STREQ(rt.GetText(kWindow, kLabel, 20).get(), "语速-15");
        rt.SetNumber(kWindow, kSlider, 16, -37);
        EXPECT_EQ(rt.GetNumber(kWindow, kSlider, 16), -37);
        for (const char* entry : {"甲", "", "乙"})
            rt.Command(kWindow, kCombo, controls::kAddEntry, {kCombo, -1, 0, 0, 0, std::string(entry), 0, 40});
        EXPECT_EQ(static_cast<controls::ComboboxEx*>(rt.Widget(kWindow, kCombo))->count(), 3);
        EXPECT_EQ(rt.GetNumber(kWindow, kCombo, 37), -1);
        rt.SetNumber(kWindow, kCombo, 37, 2);
        EXPECT_STREQ(rt.GetText(kWindow, kCombo, 45).get(), "乙");
        rt.SetNumber(kWindow, kCombo, 37, 1);
        EXPECT_STREQ(rt.GetText(kWindow, kCombo, 45).get(), "");
        // The text box hands its lines out separated by CR LF.
        EXPECT_STREQ(rt.GetText(kWindow, kEdit, 38).get(), "一\r\n二");
        rt.SetText(kWindow, kEdit, 38, "a\r\nb\nc");
        EXPECT_STREQ(rt.GetText(kWindow, kEdit, 38).get(), "a\r\nb\r\nc");
        // A property the kind lacks reads as nothing.
        EXPECT_EQ(rt.GetText(kWindow, kSlider, 20), nullptr);
        EXPECT_EQ(rt.Widget(kWindow, 99), nullptr);
        return 0;
    });
}

TEST_F(RuntimeTest, ControlEventsReachTheirHandlers) {
    Run(MakeConfig(), [] {
        auto& rt = Runtime::Current();
        rt.LoadWindow(kWindow);
        QTest::mouseClick(rt.Widget(kWindow, kButton), Qt::LeftButton);
        rt.SetNumber(kWindow, kSlider, 16, 25);
        rt.SetNumber(kWindow, kButton, 9, 1);
        QTest::mouseClick(rt.Widget(kWindow, kButton), Qt::LeftButton);  // disabled: no click
        return 0;
    });
    EXPECT_LT(IndexOf("click"), IndexOf("change"));
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "click"), 1);
}

TEST_F(RuntimeTest, HostServicesForSupportLibraries) {
    Run(MakeConfig(), [] {
        auto& rt = Runtime::Current();
        rt.LoadWindow(kWindow);
        void* block = reinterpret_cast<void*>(rt.Notify(kAllocate, 64, 0));
        EXPECT_NE(block, nullptr);
        rt.Free(block);
        auto* object = reinterpret_cast<sp::WindowObject*>(rt.Notify(kFindWindow, kWindow, kButton));
        if (!object) {
            ADD_FAILURE() << "no window object for the button";
            return 0;
        }
        EXPECT_EQ(object->Handle(), rt.Widget(kWindow, kButton));
        EXPECT_EQ(rt.Notify(kFindWindow, kWindow, 99), 0);
        EXPECT_EQ(rt.Notify(kFindWindow, 1234, kButton), 0);
        EXPECT_EQ(rt.Notify(12345, 0, 0), 0);

        // A window message arrives as a synchronous event of the widget.
        struct Catcher : QObject {
            std::vector<std::uintptr_t> got;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == WindowMessageEvent::EventType()) {
                    auto* m = static_cast<WindowMessageEvent*>(e);
                    if (m->message == 0x8075) got.push_back(m->wParam);
                    m->result = 7;
                    return true;
                }
                return false;
            }
        } catcher;
        rt.Widget(kWindow, kButton)->installEventFilter(&catcher);
        EXPECT_EQ(sp::SendMessageA(object->Handle(), 0x8075, 1, 0), 7);
        sp::SendMessageA(object->Handle(), 0x8075, 2, 0);
        EXPECT_EQ(catcher.got, (std::vector<std::uintptr_t>{1, 2}));

        // Platform notifications run on the UI thread, from its loop.
        auto poster = sp::CurrentThreadPoster();
        EXPECT_TRUE(poster);
        const auto ui = std::this_thread::get_id();
        std::atomic<bool> ran{false};
        std::thread([&] { poster->Post([&] { ran = std::this_thread::get_id() == ui; }); }).join();
        EXPECT_FALSE(ran);
        EXPECT_TRUE(test::WaitUntil([&] { return ran.load(); }));

        // Once the window is gone its objects find no handle.
        QTimer::singleShot(0, [] { Runtime::Current().Widget(kWindow, 0)->close(); });
        rt.RunMessageLoop();
        EXPECT_EQ(object->Handle(), nullptr);
        return 0;
    });
}

TEST_F(RuntimeTest, MessageBoxesShellOpenAndPathServices) {
    test::XdgOpenStandIn xdgOpen;
    test::TempDir dir;
    Run(MakeConfig(), [] {
        auto& rt = Runtime::Current();
        test::ModalCloser closer;
        rt.ShowMessage("生成成功");
        EXPECT_EQ(closer.seen.size(), 1u);
        if (!closer.seen.empty()) {
            EXPECT_EQ(closer.seen[0].title, "信息：");
            EXPECT_EQ(closer.seen[0].text, "生成成功");
            EXPECT_EQ(closer.seen[0].buttons, 1);
            EXPECT_FALSE(closer.seen[0].hasIcon);
            EXPECT_TRUE(closer.seen[0].applicationModal);
        }
        rt.ShellOpen(rt.RunDirectory() + "/sound/");
        EXPECT_EQ(Runtime::NumberText(-100), "-100");
        EXPECT_EQ(Runtime::NumberText(0), "0");
        const std::tm now = rt.LocalNow();
        EXPECT_GT(now.tm_year, 120);
        return 0;
    });
    EXPECT_EQ(xdgOpen.WaitOpened(), "file://" + sp::ProgramFolder() + "/sound/\n");
}

// Paths and texts may hold "<": a folder named h<u>tml shows as typed, not underlined.
TEST_F(RuntimeTest, TextsAreShownAsTypedNeverAsMarkup) {
    Run(MakeConfig(), [] {
        const QString markup = QStringLiteral("生成成功：/h<u>tml</u>/bin/sound/x.WAV");
        controls::LabelEx label;
        label.setText(markup);
        QLabel asMarkup;
        asMarkup.setTextFormat(Qt::RichText);
        asMarkup.setText(markup);
        EXPECT_GT(label.sizeHint().width(), asMarkup.sizeHint().width()) << "the tags are shown";
        test::ModalCloser closer;
        Runtime::Current().ShowMessage(markup.toStdString());
        EXPECT_EQ(closer.seen.size(), 1u);
        EXPECT_TRUE(!closer.seen.empty() && closer.seen[0].plainText);
        return 0;
    });
}

TEST_F(RuntimeTest, FatalErrorsEndWithMinusOneWithoutExitCallbacks) {
    const struct {
        const char* name;
        std::string definition;
        std::string cause;
    } cases[] = {{"index outside an array", "runtime_test_window.ui", "index"},
                 {"unreadable window definition", "runtime_broken_window.ui", "cannot be created"}};
    // One run time per process: the first case runs here, the second in a child process.
    const pid_t child = ::fork();
    const auto& c = cases[child == 0 ? 1 : 0];
    g_log.clear();
    int code = 0;
    try {
        Run(MakeConfig(c.definition), [] {
            Runtime::Current().AddExitCallback(&ExitA);
            Runtime::Current().LoadWindow(kWindow);
            Runtime::Current().CheckIndex(3, 3);
            return 0;
        });
    } catch (const FatalExit& e) {
        code = e.code;
    }
    bool ok = code == -1 && std::count(g_log.begin(), g_log.end(), "exit A") == 0 &&
              std::any_of(g_log.begin(), g_log.end(), [&](const std::string& s) {
                  return s.rfind("error box: ", 0) == 0 && s.find(c.cause) != std::string::npos;
              }) &&
              g_log.back() == "rt: apartment uninitialised";
    if (child == 0) std::_Exit(ok ? 0 : 1);
    EXPECT_TRUE(ok) << c.name;
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cases[1].name;
}

}  // namespace
}  // namespace lexavo::runtime
