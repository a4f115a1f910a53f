// The program's start, MainWindow and its first handlers, in process on a private X server,
// with the real speech object and platform (or a recording platform for the order test).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QUrl>
#include <QToolButton>
#include <climits>
#include <filesystem>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/controls/controls.h"
#include "platform/speech/settings.h"
#include "tests/speech/fake_platform.h"
#include "tests/support/modal_closer.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xdg_open_standin.h"
#include "tests/app/program_under_test.h"
#include "tests/support/test_servers.h"

namespace lexavo::app {
namespace {

using runtime::Runtime;

using lexavo::test::ControlOf;
using lexavo::test::ProgramConfigWith;
using lexavo::test::RunProgramUnderTest;

class AppWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lexavo::test::SharedXvfb().Ready()) << lexavo::test::SharedXvfb().Error();
        ::setenv("LEXAVO_VOICES", LEXAVO_BIN_DIR "/voices", 1);
        ::setenv("LANG", "zh_CN.UTF-8", 1);
        ::unsetenv("LEXAVO_ENGINE_DATA");
    }
};

TEST_F(AppWindow, ShowsItsTenControlsAtTheirPlacesWithTheShippedVoices) {
    bool checked = false;
    const auto afterShown = [&] {
        checked = true;
        auto& rt = Runtime::Current();
        QWidget* window = rt.Widget(kMainWindow, 0);
        ASSERT_TRUE(window && window->isVisible());
        EXPECT_EQ(window->geometry(), QRect(50, 50, 1033, 736));
        EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
        const struct {
            std::int32_t id;
            const char* kind;
            const char* name;
            QRect place;
            const char* caption;
            bool songti;
        } controls[] = {
            {kSkin, "WindowEx", "窗口EX1", {4, 4, 24, 24}, nullptr, false},
            {kVoiceLabel, "LabelEx", "标签EX1", {48, 72, 96, 32}, "语音包：", true},
            {kVoiceCombo, "ComboboxEx", "组合框EX_语音库", {159, 72, 192, 32}, nullptr, false},
            {kRateLabel, "LabelEx", "标签EX_语速", {366, 72, 96, 32}, "语速0", true},
            {kRateSlider, "SliderbarEx", "滑块条EX_语速", {477, 72, 181, 32}, nullptr, false},
            {kPlayButton, "ButtonEx", "按钮EX_播放", {673, 72, 68, 32}, "播放", true},
            {kGenerateButton, "ButtonEx", "按钮EX_生成音频", {756, 72, 108, 32}, "生成音频", true},
            {kUsageNotesButton, "ButtonEx", "按钮EX1", {880, 72, 104, 32}, "使用说明", true},
            {kTextBox, "EditboxEx", "编辑框EX_文字", {48, 128, 936, 568}, nullptr, false},
            {kStatusLine, "LabelEx", "标签EX_信息", {48, 704, 944, 24}, "", false},
        };
        for (const auto& c : controls) {
            QWidget* w = rt.Widget(kMainWindow, c.id);
            ASSERT_NE(w, nullptr) << c.name;
            EXPECT_STREQ(controls::AsComponent(w)->KindName(), c.kind) << c.name;
            EXPECT_EQ(w->objectName().toStdString(), c.name);
            EXPECT_EQ(w->geometry(), c.place) << c.name;
            EXPECT_TRUE(w->isVisible() && w->isEnabled()) << c.name;
            if (c.caption) {
                EXPECT_STREQ(rt.GetText(kMainWindow, c.id, kCaption).get(), c.caption) << c.name;
            }
            EXPECT_EQ(w->font().family() == QStringLiteral("宋体"), c.songti) << c.name;
        }
        // The slider stands at 0 in -100..100.
        auto* slider = ControlOf<QSlider>(kRateSlider);
        EXPECT_EQ(slider->minimum(), -100);
        EXPECT_EQ(slider->maximum(), 100);
        EXPECT_EQ(rt.GetNumber(kMainWindow, kRateSlider, kPosition), 0);
        // The voices in enumeration order, the first one shown.
        auto* combo = ControlOf<QComboBox>(kVoiceCombo);
        std::vector<std::string> entries;
        for (int i = 0; i < combo->count(); ++i) entries.push_back(combo->itemText(i).toStdString());
        const std::vector<std::string> expected = {"Lexavo 中文普通话（男声）", "Lexavo 中文普通话（女声）",
                                                   "Lexavo 中文粤语（男声）", "Lexavo 英语（男声）"};
        EXPECT_EQ(entries, expected);
        EXPECT_EQ(rt.GetNumber(kMainWindow, kVoiceCombo, kSelectedIndex), 0);
        EXPECT_STREQ(rt.GetText(kMainWindow, kVoiceCombo, kCurrentText).get(), expected[0].c_str());
        // The sample passage: 23 lines, CR LF between them, later lines indented by two U+3000.
        const QString text = QString::fromUtf8(rt.GetText(kMainWindow, kTextBox, kText).get());
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.size(), 23);
        EXPECT_FALSE(lines[0].startsWith(QChar(0x3000)));
        for (int i = 1; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].startsWith(QStringLiteral("\u3000\u3000")) && lines[i][2] != QChar(0x3000)) << i;
        EXPECT_FALSE(text.contains(QChar('\n')) && !text.contains(QStringLiteral("\r\n")));
        EXPECT_GT(text.size(), 900);
        EXPECT_LT(text.size(), 1100);
        // The skin's title bar.
        auto* title = window->findChild<QLabel*>("title");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text().toStdString(), "LexavoV1.0");
        EXPECT_NE(window->findChild<QToolButton*>(QStringLiteral("最大化")), nullptr);
        EXPECT_NE(window->findChild<QToolButton*>(QStringLiteral("最小化")), nullptr);

        // A picture of the window for a person to look at.
        const std::string shot = std::string(LEXAVO_BIN_DIR) + "/../test-artifacts/main_window.png";
        std::filesystem::create_directories(std::filesystem::path(shot).parent_path());
        EXPECT_TRUE(window->grab().save(QString::fromStdString(shot)));
        std::printf("screenshot: %s\n", std::filesystem::weakly_canonical(shot).c_str());

        // Maximizing lets the text box and the status line grow with the window.
        window->findChild<QToolButton*>(QStringLiteral("最大化"))->click();
        ASSERT_TRUE(lexavo::test::WaitUntil([&] { return window->width() > 1033; }));
        EXPECT_TRUE(lexavo::test::WaitUntil([&] { return ControlOf(kTextBox)->width() == 936 + window->width() - 1033; }));
        EXPECT_EQ(ControlOf(kTextBox)->height(), 568 + window->height() - 736);
        EXPECT_EQ(ControlOf(kStatusLine)->y(), 704 + window->height() - 736);
        EXPECT_EQ(ControlOf(kPlayButton)->geometry(), QRect(673, 72, 68, 32));
        window->findChild<QToolButton*>(QStringLiteral("最大化"))->click();
        EXPECT_TRUE(lexavo::test::WaitUntil([&] { return ControlOf(kTextBox)->width() == 936; }));
        EXPECT_EQ(window->geometry(), QRect(50, 50, 1033, 736));
    };
    EXPECT_EQ(RunProgramUnderTest(ProgramConfigWith({.afterShown = afterShown})), 0);
    EXPECT_TRUE(checked);
}

TEST_F(AppWindow, DraggingTheTitleBarMovesTheWindow) {
    const auto afterShown = [] {
        QWidget* window = Runtime::Current().Widget(kMainWindow, 0);
        QWidget* bar = window->findChild<QWidget*>("titleBar");
        ASSERT_NE(bar, nullptr);
        const QPoint from(300, 20);
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(40, 30)), bar->mapToGlobal(QPointF(from + QPoint(40, 30))),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(bar, &move);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(40, 30));
        EXPECT_TRUE(lexavo::test::WaitUntil([&] { return window->pos() == QPoint(90, 80); })) << window->pos().x() << "," << window->pos().y();
    };
    EXPECT_EQ(RunProgramUnderTest(ProgramConfigWith({.afterShown = afterShown})), 0);
}

TEST_F(AppWindow, WithoutTheEngineTheMessageComesBeforeTheWindowAndTheListStaysEmpty) {
    test::TempDir empty;
    ::setenv("LEXAVO_ENGINE_DATA", empty.Path().c_str(), 1);
    std::unique_ptr<lexavo::test::ModalCloser> closer;
    bool checked = false;
    const auto afterShown = [&] {
        checked = true;
        ASSERT_EQ(closer->seen.size(), 1u);
        EXPECT_EQ(closer->seen[0].title, "信息：");
        EXPECT_EQ(closer->seen[0].text, "失败！通常是因为没有安装 MS Speech SDK 5.1");
        EXPECT_TRUE(closer->seen[0].visibleWindows.empty()) << "the window is not shown yet";
        EXPECT_EQ(ControlOf<QComboBox>(kVoiceCombo)->count(), 0);
        EXPECT_EQ(Runtime::Current().GetNumber(kMainWindow, kVoiceCombo, kSelectedIndex), -1);
        EXPECT_FALSE(Speech().IsInitialized(SpeechObject()));
    };
    const auto beforeCreated = [&] { closer = std::make_unique<lexavo::test::ModalCloser>(); };
    EXPECT_EQ(RunProgramUnderTest(ProgramConfigWith({.beforeCreated = beforeCreated, .afterShown = afterShown})), 0);
    EXPECT_TRUE(checked);
}

TEST_F(AppWindow, UsageNotesButtonAsksTheShellToOpenTheNotes) {
    lexavo::test::XdgOpenStandIn xdgOpen;
    const auto afterShown = [] {
        QTest::mouseClick(ControlOf(kUsageNotesButton), Qt::LeftButton);
        QTest::mouseClick(ControlOf(kUsageNotesButton), Qt::LeftButton);
    };
    EXPECT_EQ(RunProgramUnderTest(ProgramConfigWith({.afterShown = afterShown})), 0);
    // The notes are not beside the test program: the shell is asked all the same, and the
    // window stays as it was.
    const std::string url =
        QUrl::fromLocalFile(QString::fromStdString(sp::ProgramFolder() + "/使用说明.txt")).toEncoded().toStdString();
    const std::string opened = xdgOpen.WaitOpened();
    EXPECT_EQ(opened.substr(0, url.size() + 1), url + "\n");
}

TEST_F(AppWindow, StartAndShutdownOrderAroundTheSpeechObject) {
    lexavo::test::FakePlatform fake;
    fake.tokens = {lexavo::test::FakeToken{{{u"", u"Voice A"}}}, lexavo::test::FakeToken{{{u"", u"Chinese B"}}}};
    lexavo::test::TempDir elsewhere;
    ASSERT_EQ(::chdir(elsewhere.Path().c_str()), 0);
    runtime::Config config = ProgramConfigWith({});
    config.trace = [&](const std::string& s) { fake.log.push_back("rt: " + s); };
    static std::string cwdAtStart;
    const int result = RunProgramUnderTest(std::move(config), [] {
        char cwd[PATH_MAX];
        cwdAtStart = ::getcwd(cwd, sizeof cwd);
        return StartRoutine();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(cwdAtStart, sp::ProgramFolder()) << "the current directory is set before the speech object exists";
    const auto at = [&](const std::string& entry) {
        const auto it = std::find(fake.log.begin(), fake.log.end(), entry);
        EXPECT_NE(it, fake.log.end()) << entry;
        return it - fake.log.begin();
    };
    EXPECT_LT(at("rt: apartment initialised"), at("CoInitialize"));
    EXPECT_LT(at("CoInitialize"), at("rt: window created"));
    EXPECT_LT(at("Voice.SetVoice Token1"), at("rt: window created"));
    EXPECT_LT(at("rt: created event done"), at("rt: window shown"));
    EXPECT_LT(at("rt: last window destroyed"), at("Voice.Release"));
    EXPECT_LT(at("Voice.Release"), at("CoUninitialize"));
    const auto destructEnd = at("CoUninitialize");
    const auto freedAfter = std::find(fake.log.begin() + destructEnd, fake.log.end(), "rt: block freed");
    EXPECT_NE(freedAfter, fake.log.end()) << "the record is freed after Destruct";
    EXPECT_LT(freedAfter - fake.log.begin(), at("rt: exit callbacks done"));
    EXPECT_LT(at("rt: exit callbacks done"), at("rt: apartment uninitialised"));
    EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "Voice.Release"), 1);
    // The second pass of the shutdown calls nothing.
    fake.Clear();
    Runtime::Current().Shutdown();
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(fake.liveObjects, 0);
}

}  // namespace
}  // namespace lexavo::app
