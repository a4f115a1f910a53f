// The program end to end: real mouse clicks (XTEST, through xdotool) on its window on a private
// X server, its audio recorded from a private PulseAudio daemon's null sink, its wave files
// read back. Prints the latency figures it measures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/date_time_text.h"
#include "app/main_window.h"
#include "app/program.h"
#include "platform/speech/settings.h"
#include "tests/support/modal_closer.h"
#include "tests/app/program_under_test.h"
#include "tests/support/test_servers.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"
#include "tests/support/xdg_open_standin.h"

namespace lexavo::app {
namespace {

using runtime::Runtime;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* kSentence = "今天天气很好，我们去公园散步。今天天气很好，我们去公园散步。";

// Screen points of the controls: the window stands at 50,50.
QPoint Centre(std::int32_t id) {
    QWidget* w = Runtime::Current().Widget(kMainWindow, id);
    return w->mapToGlobal(w->rect().center());
}

// A real click at a screen point; returns once the X server has it.
void ClickAt(QPoint p) {
    const std::string cmd = "xdotool mousemove " + std::to_string(p.x()) + " " + std::to_string(p.y()) + " click 1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

void DragSliderTo(int position) {
    auto* slider = static_cast<QSlider*>(Runtime::Current().Widget(kMainWindow, kRateSlider));
    const QPoint handle = slider->mapToGlobal(QPoint(
        QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), slider->value(), slider->width() - 16) + 8,
        slider->height() / 2));
    const int targetX = position >= 0 ? slider->mapToGlobal(QPoint(slider->width() + 40, 0)).x()
                                      : slider->mapToGlobal(QPoint(-40, 0)).x();
    const int middleX = slider->mapToGlobal(QPoint(slider->width() / 2, 0)).x();
    const std::string cmd = "xdotool mousemove " + std::to_string(handle.x()) + " " + std::to_string(handle.y()) +
                            " mousedown 1 mousemove " + std::to_string((handle.x() + (position == 0 ? middleX : targetX)) / 2) +
                            " " + std::to_string(handle.y()) + " mousemove " +
                            std::to_string(position == 0 ? middleX : targetX) + " " + std::to_string(handle.y()) +
                            " mouseup 1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

std::string Caption(std::int32_t id) { return test::CaptionOf(id); }

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::function<void()> g_scenario;

// The window gets a moment on screen before the clicks begin.
int RunTheProgram() {
    return test::RunProgramUnderTest(test::ProgramConfigWith({.afterShown = [] { g_scenario(); }, .delayMs = 200}));
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::SharedPulse().Ready()) << test::SharedPulse().Error();
        ASSERT_TRUE(test::SharedXvfb().Ready()) << test::SharedXvfb().Error();
        ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "xdotool is needed";
        ::setenv("LEXAVO_VOICES", LEXAVO_BIN_DIR "/voices", 1);
        ::setenv("LANG", "zh_CN.UTF-8", 1);
        recorder_ = std::make_unique<test::MonitorRecorder>(test::SharedPulse().ServerAddress());
        ASSERT_TRUE(recorder_->Ready());
        ASSERT_TRUE(recorder_->WaitUntilFlowing());
        std::error_code ec;
        fs::remove_all(sp::ProgramFolder() + "/sound", ec);
    }
    void TearDown() override {
        recorder_.reset();
        std::error_code ec;
        fs::remove_all(sp::ProgramFolder() + "/sound", ec);
    }

    // Waits until the sound server has been quiet for a while after speech.
    void WaitForSpeechToEnd() {
        EXPECT_TRUE(test::WaitUntil([&] { return recorder_->RecentRms(700) < 30; }, 60000));
    }

    std::unique_ptr<test::MonitorRecorder> recorder_;
};

TEST_F(EndToEnd, PlayStopRateAndGenerateWithRealClicks) {
    test::XdgOpenStandIn xdgOpen;
    g_scenario = [&] {
        auto& rt = Runtime::Current();
        // 播放: audio at the sound server, the caption says 停止.
        ClickAt(Centre(kPlayButton));
        const auto playClick = Clock::now();
        ASSERT_TRUE(test::WaitUntil([&] { return Caption(kPlayButton) == "停止"; }));
        ASSERT_TRUE(test::WaitUntil([&] { return recorder_->FirstLoud(playClick) != Clock::time_point{}; }, 5000))
            << "no sound after the click on 播放";
        const double playLatency = Ms(recorder_->FirstLoud(playClick) - playClick);
        QTest::qWait(1500);
        EXPECT_GT(recorder_->RecentRms(1000), 300) << "still reading the long text";

        // 停止: silence, and the caption says 播放 again.
        ClickAt(Centre(kPlayButton));
        const auto stopClick = Clock::now();
        ASSERT_TRUE(test::WaitUntil([&] { return Caption(kPlayButton) == "播放"; }));
        ASSERT_TRUE(test::WaitUntil([&] { return recorder_->FirstQuiet(stopClick) != Clock::time_point{}; }, 3000));
        const double stopLatency = Ms(recorder_->FirstQuiet(stopClick) - stopClick);
        QTest::qWait(500);
        EXPECT_LT(recorder_->RecentRms(400), 30) << "silent after 停止";

        // The same sentence at rate 0 and at rate 10 (slider dragged to 100).
        rt.SetText(kMainWindow, kTextBox, kText, kSentence);
        const auto readOnce = [&] {
            ClickAt(Centre(kPlayButton));
            const auto start = Clock::now();
            EXPECT_TRUE(test::WaitUntil([&] { return recorder_->FirstLoud(start) != Clock::time_point{}; }, 5000));
            const auto first = recorder_->FirstLoud(start);
            QTest::qWait(300);
            WaitForSpeechToEnd();
            // Read to its end: the caption still says 停止; one click brings back 播放.
            EXPECT_EQ(Caption(kPlayButton), "停止");
            ClickAt(Centre(kPlayButton));
            EXPECT_TRUE(test::WaitUntil([&] { return Caption(kPlayButton) == "播放"; }));
            return std::chrono::duration<double>(recorder_->LastLoud() - first).count();
        };
        const double normal = readOnce();
        DragSliderTo(100);
        EXPECT_TRUE(test::WaitUntil([&] { return rt.GetNumber(kMainWindow, kRateSlider, kPosition) == 100; }))
            << rt.GetNumber(kMainWindow, kRateSlider, kPosition);
        EXPECT_EQ(Caption(kRateLabel), "语速100");
        const double fast = readOnce();
        std::printf("reading at rate 0: %.2f s, at rate 10: %.2f s (%.1f times faster)\n", normal, fast, normal / fast);
        EXPECT_GT(normal / fast, 2.2);
        EXPECT_LT(normal / fast, 4.0);
        DragSliderTo(0);
        EXPECT_TRUE(test::WaitUntil([&] { return std::abs(rt.GetNumber(kMainWindow, kRateSlider, kPosition)) < 10; }));

        // 生成音频: a box says 生成成功, the file is named after the click, the status line shows
        // its path and the folder is opened.
        rt.SetText(kMainWindow, kTextBox, kText, kSentence);
        test::ModalCloser boxes;
        Clock::time_point boxShown{};
        boxes.onSeen = [&](const test::SeenBox&) { boxShown = Clock::now(); };
        std::tm before{};
        const std::time_t t0 = std::time(nullptr);
        localtime_r(&t0, &before);
        ClickAt(Centre(kGenerateButton));
        const auto generateClick = Clock::now();
        ASSERT_TRUE(test::WaitUntil([&] { return !boxes.seen.empty(); }, 30000));
        std::tm after{};
        const std::time_t t1 = std::time(nullptr);
        localtime_r(&t1, &after);
        EXPECT_EQ(boxes.seen[0].text, "生成成功");
        const std::string folder = sp::ProgramFolder() + "/sound/";
        std::string path;
        for (const auto& entry : fs::directory_iterator(folder)) path = entry.path().string();
        EXPECT_TRUE(path == folder + DateTimeText(before) + ".WAV" || path == folder + DateTimeText(after) + ".WAV") << path;
        const auto wav = test::ReadWav(path);
        ASSERT_TRUE(wav.valid) << wav.error;
        EXPECT_GT(test::VoicedSeconds(wav.samples, wav.sampleRate), 1.5);
        EXPECT_EQ(Caption(kStatusLine), "生成成功：" + path);
        EXPECT_EQ(xdgOpen.WaitOpened(), QUrl::fromLocalFile(QString::fromStdString(folder)).toEncoded().toStdString() + "\n");
        EXPECT_TRUE(test::WaitUntil([&] { return rt.Widget(kMainWindow, kGenerateButton)->isEnabled(); }));

        std::printf("click on 播放 to first audio at the sound server: %.1f ms\n", playLatency);
        std::printf("click on 停止 to silence at the sound server: %.1f ms\n", stopLatency);
        std::printf("click on 生成音频 to the box (short sentence): %.1f ms\n", Ms(boxShown - generateClick));
    };
    EXPECT_EQ(RunTheProgram(), 0);
}

// 生成音频 during a reading at the fastest rate: the file is made on its own, within seconds,
// and the reading goes on at the sound server.
TEST_F(EndToEnd, GeneratingDuringAReadingNeitherWaitsForNorStopsIt) {
    test::XdgOpenStandIn xdgOpen;
    g_scenario = [&] {
        auto& rt = Runtime::Current();
        DragSliderTo(100);
        EXPECT_TRUE(test::WaitUntil([&] { return rt.GetNumber(kMainWindow, kRateSlider, kPosition) == 100; }));
        ClickAt(Centre(kPlayButton));
        const auto playClick = Clock::now();
        ASSERT_TRUE(test::WaitUntil([&] { return recorder_->FirstLoud(playClick) != Clock::time_point{}; }, 5000));
        QTest::qWait(1000);

        test::ModalCloser boxes;
        Clock::time_point boxShown{};
        boxes.onSeen = [&](const test::SeenBox&) { boxShown = Clock::now(); };
        ClickAt(Centre(kGenerateButton));
        const auto generateClick = Clock::now();
        ASSERT_TRUE(test::WaitUntil([&] { return !boxes.seen.empty(); }, 60000));
        EXPECT_EQ(boxes.seen[0].text, "生成成功");
        const double toBox = Ms(boxShown - generateClick);
        EXPECT_LT(toBox, 10000) << "the file waited for the reading";
        EXPECT_EQ(Caption(kPlayButton), "停止");
        QTest::qWait(300);
        EXPECT_GT(recorder_->RecentRms(250), 300) << "the reading stopped";

        const std::string folder = sp::ProgramFolder() + "/sound/";
        const auto wav = test::ReadWav(fs::directory_iterator(folder)->path().string());
        ASSERT_TRUE(wav.valid) << wav.error;
        EXPECT_GT(wav.Seconds(), 30) << "the whole passage, at the fastest rate";
        ClickAt(Centre(kPlayButton));
        EXPECT_TRUE(test::WaitUntil([&] { return Caption(kPlayButton) == "播放"; }));
        std::printf("生成音频 during a reading: click to 生成成功 %.0f ms; the reading went on\n", toBox);
    };
    EXPECT_EQ(RunTheProgram(), 0);
}

TEST_F(EndToEnd, GeneratingTheSamplePassageAgainstLexavoSay) {
    g_scenario = [&] {
        auto& rt = Runtime::Current();
        const std::string text = rt.GetText(kMainWindow, kTextBox, kText).get();
        test::ModalCloser boxes;
        Clock::time_point boxShown{};
        boxes.onSeen = [&](const test::SeenBox&) { boxShown = Clock::now(); };
        ClickAt(Centre(kGenerateButton));
        const auto click = Clock::now();
        ASSERT_TRUE(test::WaitUntil([&] { return !boxes.seen.empty(); }, 60000));
        EXPECT_EQ(boxes.seen[0].text, "生成成功");
        const double program = Ms(boxShown - click);

        test::TempDir dir;
        const std::string input = dir.Write("passage.txt", text);
        const auto start = Clock::now();
        const std::string cmd = std::string("'") + LEXAVO_BIN_DIR + "/lexavo-say' -w '" + dir.File("say.wav") + "' < '" + input + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const double say = Ms(Clock::now() - start);
        const auto fromProgram = test::ReadWav(fs::directory_iterator(sp::ProgramFolder() + "/sound/")->path().string());
        const auto fromSay = test::ReadWav(dir.File("say.wav"));
        ASSERT_TRUE(fromProgram.valid && fromSay.valid);
        EXPECT_NEAR(fromProgram.Seconds(), fromSay.Seconds(), 0.5) << "the same text, the same voice and rate";
        std::printf("sample passage (%.0f s of audio): click to 生成成功 %.0f ms; lexavo-say -w %.0f ms\n",
                    fromProgram.Seconds(), program, say);
    };
    EXPECT_EQ(RunTheProgram(), 0);
}

}  // namespace
}  // namespace lexavo::app
