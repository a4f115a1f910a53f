// Reading aloud, the rate slider and wave-file generation: the handlers in the running
// program on a private X server, with a recording speech platform or the real one.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "app/date_time_text.h"
#include "app/main_window.h"
#include "app/program.h"
#include "platform/speech/settings.h"
#include "tests/speech/fake_platform.h"
#include "tests/support/modal_closer.h"
#include "tests/support/private_mounts.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"
#include "tests/support/xdg_open_standin.h"
#include "tests/app/program_under_test.h"
#include "tests/support/test_servers.h"

namespace lexavo::app {
namespace {

using runtime::Runtime;
namespace fs = std::filesystem;

std::tm Time(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(DateTimeText, NamesByTheFirstNonZeroFieldFromTheSecondsUp) {
    const struct {
        std::tm time;
        const char* text;
    } cases[] = {
        {Time(2021, 10, 25, 13, 46, 53), "2021年10月25日13时46分53秒"},
        {Time(2021, 10, 25, 13, 0, 5), "2021年10月25日13时0分5秒"},
        {Time(2021, 10, 25, 13, 46, 0), "2021年10月25日13时46分"},
        {Time(2021, 10, 25, 13, 0, 0), "2021年10月25日13时"},
        {Time(2021, 10, 25, 0, 5, 0), "2021年10月25日0时5分"},
        {Time(2021, 10, 25, 0, 0, 7), "2021年10月25日0时0分7秒"},
        {Time(2021, 10, 25, 0, 0, 0), "2021年10月25日"},
        {Time(2022, 1, 5, 9, 3, 7), "2022年1月5日9时3分7秒"},
    };
    for (const auto& c : cases) EXPECT_EQ(DateTimeText(c.time), c.text);
}

// What a test does once the window is up, the boxes shown at start, and the clock.
std::function<void()> g_scenario;
std::unique_ptr<test::ModalCloser> g_startBoxes;
std::tm g_clock = Time(2021, 10, 25, 13, 46, 53);

int RunTheProgram() {
    runtime::Config config = test::ProgramConfigWith({
        .beforeCreated = [] { g_startBoxes = std::make_unique<test::ModalCloser>(); },
        .afterShown =
            [] {
                g_startBoxes->Stop();
                if (g_scenario) g_scenario();
            },
    });
    config.clock = [] { return g_clock; };
    return test::RunProgramUnderTest(std::move(config));
}

std::string Caption(std::int32_t id) { return test::CaptionOf(id); }
void Click(std::int32_t id) { QTest::mouseClick(test::ControlOf(id), Qt::LeftButton); }

class Handlers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::SharedXvfb().Ready()) << test::SharedXvfb().Error();
        ::setenv("LEXAVO_VOICES", LEXAVO_BIN_DIR "/voices", 1);
        ::setenv("LANG", "en_US.UTF-8", 1);
        g_scenario = nullptr;
        std::error_code ec;
        fs::remove_all(SoundFolder(), ec);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(SoundFolder(), ec);
    }
    static std::string SoundFolder() { return sp::ProgramFolder() + "/sound"; }
};

TEST_F(Handlers, TheRateLabelShowsThePositionAndTheRateIsTruncatedTowardZero) {
    test::FakePlatform fake;
    fake.tokens = {test::FakeToken{{{u"", u"Chinese A"}}}};
    g_scenario = [&] {
        const struct {
            int position;
            const char* label;
            const char* rate;
        } cases[] = {
            {-100, "语速-100", "Voice.SetRate -10"}, {-99, "语速-99", "Voice.SetRate -9"},
            {-90, "语速-90", "Voice.SetRate -9"},    {-15, "语速-15", "Voice.SetRate -1"},
            {-10, "语速-10", "Voice.SetRate -1"},    {-9, "语速-9", "Voice.SetRate 0"},
            {-5, "语速-5", "Voice.SetRate 0"},       {0, "语速0", "Voice.SetRate 0"},
            {5, "语速5", "Voice.SetRate 0"},         {9, "语速9", "Voice.SetRate 0"},
            {15, "语速15", "Voice.SetRate 1"},       {25, "语速25", "Voice.SetRate 2"},
            {90, "语速90", "Voice.SetRate 9"},       {99, "语速99", "Voice.SetRate 9"},
            {100, "语速100", "Voice.SetRate 10"},
        };
        EXPECT_EQ(Caption(kRateLabel), "语速0");
        EXPECT_TRUE(fake.Calls("Voice.SetRate").empty()) << "the rate is not set at start";
        for (const auto& c : cases) {
            fake.Clear();
            // The slider raises its change event for every new position.
            Runtime::Current().SetNumber(kMainWindow, kRateSlider, kPosition, c.position == 0 ? 1 : 0);
            fake.Clear();
            Runtime::Current().SetNumber(kMainWindow, kRateSlider, kPosition, c.position);
            EXPECT_EQ(Caption(kRateLabel), c.label);
            EXPECT_EQ(fake.Calls("Voice.SetRate"), std::vector<std::string>{c.rate}) << c.position;
        }
    };
    EXPECT_EQ(RunTheProgram(), 0);
}

TEST_F(Handlers, PlayAndStopToggleTheCaptionBeforeCallingTheSpeechObject) {
    test::FakePlatform fake;
    // The start-up preference picks the Chinese voice; the list shows "English" first.
    fake.tokens = {test::FakeToken{{{u"", u"English"}}}, test::FakeToken{{{u"", u"Chinese"}}}};
    g_scenario = [&] {
        auto& rt = Runtime::Current();
        EXPECT_EQ(fake.selectedToken, 1);
        rt.SetText(kMainWindow, kTextBox, kText, "第一行\r\n第二行");
        fake.Clear();
        std::vector<std::string> captionsSeenByPlatform;
        fake.onCall = [&](const std::string&) { captionsSeenByPlatform.push_back(Caption(kPlayButton)); };
        Click(kPlayButton);
        EXPECT_EQ(Caption(kPlayButton), "停止");
        // The voice the list shows, then the text with mode 0 (asynchronous).
        EXPECT_EQ(fake.Calls("Voice.SetVoice"), std::vector<std::string>{"Voice.SetVoice Token0"});
        EXPECT_EQ(fake.Calls("Voice.Speak"), std::vector<std::string>{"Voice.Speak \"第一行\r\n第二行\" flags=1 null"});
        const auto firstPlatformCall = fake.log.front();
        EXPECT_EQ(firstPlatformCall.rfind("CoCreateInstance", 0), 0u);
        fake.Clear();
        Click(kPlayButton);
        EXPECT_EQ(Caption(kPlayButton), "播放");
        EXPECT_EQ(fake.log, std::vector<std::string>{"Voice.Speak null flags=2 null"});
        // Every platform call of the first click saw "停止", the stop saw "播放".
        ASSERT_GE(captionsSeenByPlatform.size(), 3u);
        EXPECT_EQ(captionsSeenByPlatform.back(), "播放");
        captionsSeenByPlatform.pop_back();
        for (const auto& c : captionsSeenByPlatform) EXPECT_EQ(c, "停止");
        fake.onCall = nullptr;

        // An empty text box hands the empty text over.
        rt.SetText(kMainWindow, kTextBox, kText, "");
        fake.Clear();
        Click(kPlayButton);
        EXPECT_EQ(fake.Calls("Voice.Speak"), std::vector<std::string>{"Voice.Speak \"\" flags=1 null"});
        Click(kPlayButton);

        // A caption that is neither, such as one with a trailing blank, makes a click do nothing.
        rt.SetText(kMainWindow, kPlayButton, kCaption, "播放 ");
        fake.Clear();
        Click(kPlayButton);
        EXPECT_EQ(Caption(kPlayButton), "播放 ");
        EXPECT_TRUE(fake.log.empty());

        // A voice the list names but the platform does not know: "停止", nothing spoken.
        rt.SetText(kMainWindow, kPlayButton, kCaption, "播放");
        static_cast<QComboBox*>(rt.Widget(kMainWindow, kVoiceCombo))->setItemText(0, "Gone");
        fake.Clear();
        Click(kPlayButton);
        EXPECT_EQ(Caption(kPlayButton), "停止");
        EXPECT_TRUE(fake.Calls("Voice.Speak").empty());
        Click(kPlayButton);
        EXPECT_EQ(Caption(kPlayButton), "播放");
    };
    EXPECT_EQ(RunTheProgram(), 0);
}

TEST_F(Handlers, WithoutTheSpeechPlatformPlayOnlyTogglesTheCaption) {
    test::FakePlatform fake;
    fake.createVoiceResult = sp::REGDB_E_CLASSNOTREG;
    g_scenario = [&] {
        ASSERT_EQ(g_startBoxes->seen.size(), 1u);
        EXPECT_EQ(g_startBoxes->seen[0].text, "失败！通常是因为没有安装 MS Speech SDK 5.1");
        test::ModalCloser boxes;
        fake.Clear();
        Click(kPlayButton);
        EXPECT_EQ(Caption(kPlayButton), "停止");
        Click(kPlayButton);
        EXPECT_EQ(Caption(kPlayButton), "播放");
        Runtime::Current().SetNumber(kMainWindow, kRateSlider, kPosition, 50);
        EXPECT_EQ(Caption(kRateLabel), "语速50");
        // Generating reports its failure.
        Click(kGenerateButton);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, "生成失败!");
        EXPECT_TRUE(fake.log.empty()) << "no platform call without a voice";
        EXPECT_TRUE(Runtime::Current().Widget(kMainWindow, kGenerateButton)->isEnabled());
    };
    EXPECT_EQ(RunTheProgram(), 0);
}

TEST_F(Handlers, GeneratingWritesTheFileReportsItAndOpensTheFolder) {
    test::XdgOpenStandIn xdgOpen;
    const std::string folder = SoundFolder();
    const std::string file = folder + "/2021年10月25日13时46分53秒.WAV";
    g_scenario = [&] {
        auto& rt = Runtime::Current();
        test::ModalCloser boxes;
        bool disabledWhileShown = false;
        boxes.onSeen = [&](const test::SeenBox&) {
            disabledWhileShown = !rt.Widget(kMainWindow, kGenerateButton)->isEnabled();
        };
        rt.SetText(kMainWindow, kTextBox, kText, "今天天气很好，我们去公园散步。");
        Click(kGenerateButton);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, "生成成功");
        EXPECT_TRUE(disabledWhileShown) << "the button stays disabled until the box is closed";
        EXPECT_TRUE(rt.Widget(kMainWindow, kGenerateButton)->isEnabled());
        EXPECT_EQ(Caption(kStatusLine), "生成成功：" + file);
        EXPECT_TRUE(fs::is_directory(folder));
        auto wav = test::ReadWav(file);
        ASSERT_TRUE(wav.valid) << wav.error;
        EXPECT_GT(test::VoicedSeconds(wav.samples, wav.sampleRate), 1.5);
        const auto firstSize = fs::file_size(file);
        EXPECT_EQ(xdgOpen.WaitOpened(), QUrl::fromLocalFile(QString::fromStdString(folder + "/")).toEncoded().toStdString() + "\n");

        // A second click in the same second replaces the file.
        rt.SetText(kMainWindow, kTextBox, kText, "你好");
        Click(kGenerateButton);
        EXPECT_LT(fs::file_size(file), firstSize);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

        // A failure keeps the status line of the last success: a folder stands at the target.
        g_clock = Time(2021, 10, 25, 13, 0, 0);
        fs::create_directory(folder + "/2021年10月25日13时.WAV");
        Click(kGenerateButton);
        ASSERT_EQ(boxes.seen.size(), 3u);
        EXPECT_EQ(boxes.seen[2].text, "生成失败!");
        EXPECT_EQ(Caption(kStatusLine), "生成成功：" + file);
        EXPECT_TRUE(rt.Widget(kMainWindow, kGenerateButton)->isEnabled());
        g_clock = Time(2021, 10, 25, 13, 46, 53);
    };
    EXPECT_EQ(RunTheProgram(), 0);
}

TEST_F(Handlers, APlainFileNamedSoundMakesEveryClickFailAndStaysUntouched) {
    {
        std::ofstream(SoundFolder()) << "not a folder";
    }
    g_scenario = [&] {
        test::ModalCloser boxes;
        Click(kGenerateButton);
        Click(kGenerateButton);
        ASSERT_EQ(boxes.seen.size(), 2u);
        for (const auto& box : boxes.seen) EXPECT_EQ(box.text, "生成失败!");
        EXPECT_EQ(Caption(kStatusLine), "");
        EXPECT_TRUE(Runtime::Current().Widget(kMainWindow, kGenerateButton)->isEnabled());
    };
    EXPECT_EQ(RunTheProgram(), 0);
    std::ifstream in(SoundFolder());
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "not a folder");
    EXPECT_TRUE(fs::is_regular_file(SoundFolder()));
}

TEST_F(Handlers, AReadOnlyProgramFolderMakesGenerationFail) {
    // A read-only bind mount of the program's folder in a mount namespace of this process.
    const std::string folder = sp::ProgramFolder();
    if (!test::EnterPrivateMountNamespace()) GTEST_SKIP() << "no private mount namespace here";
    // In a chroot the program's own path, seen from a new mount namespace, leads outside it.
    if (sp::ProgramFolder() != folder) GTEST_SKIP() << "the program's folder is out of reach in a new mount namespace";
    ASSERT_EQ(::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr), 0);
    ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr), 0);
    g_scenario = [&] {
        test::ModalCloser boxes;
        Click(kGenerateButton);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, "生成失败!");
        EXPECT_TRUE(Runtime::Current().Widget(kMainWindow, kGenerateButton)->isEnabled());
    };
    EXPECT_EQ(RunTheProgram(), 0);
    EXPECT_FALSE(fs::exists(SoundFolder()));
}

}  // namespace
}  // namespace lexavo::app
