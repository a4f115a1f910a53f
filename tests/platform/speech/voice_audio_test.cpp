// The voice on the real engine, played through a real PulseAudio daemon whose null sink's
// monitor is recorded.
#include <gtest/gtest.h>

#include <thread>

#include "platform/speech/settings.h"
#include "platform/speech/voice.h"
#include "tests/support/pulse_server.h"
#include "tests/support/test_servers.h"
#include "tests/support/wav_file.h"

namespace lexavo::sp {
namespace {

using namespace std::chrono_literals;

constexpr const char16_t* kText = u"今天天气很好，我们去公园散步。今天天气很好，我们去公园散步。";

class AudioVoice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Server().Ready()) << Server().Error();
        CoInitialize(nullptr);
        SetPlatformSettings(PlatformSettings{"", LEXAVO_BIN_DIR "/voices"});
        ASSERT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, 7, IID_ISpVoice, reinterpret_cast<void**>(voice_.Put())), S_OK);
        recorder_ = std::make_unique<test::MonitorRecorder>(Server().ServerAddress());
        ASSERT_TRUE(recorder_->Ready());
        ASSERT_TRUE(recorder_->WaitUntilFlowing());
    }
    void TearDown() override {
        voice_.Reset();
        recorder_.reset();
        SetPlatformSettings(std::nullopt);
        CoUninitialize();
    }

    // Waits until the last 50 ms recorded are louder than `rms`, up to `limit`.
    bool WaitForSound(double rms, std::chrono::milliseconds limit) {
        for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
            if (recorder_->RecentRms(50) > rms) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    static test::PulseServer& Server() { return test::SharedPulse(); }
    ComPtr<ISpVoice> voice_;
    std::unique_ptr<test::MonitorRecorder> recorder_;
};

TEST_F(AudioVoice, SpeakingIsHeardAndAsyncSpeakReturnsWhileItPlays) {
    ASSERT_EQ(voice_->Speak(kText, SPF_ASYNC, nullptr), S_OK);
    EXPECT_EQ(voice_->WaitUntilDone(0), S_FALSE);
    EXPECT_TRUE(WaitForSound(300, 3s)) << "no signal at the sound server";
    ASSERT_EQ(voice_->WaitUntilDone(30000), S_OK);
}

TEST_F(AudioVoice, PurgeSilencesTheOutput) {
    ASSERT_EQ(voice_->Speak(kText, SPF_ASYNC, nullptr), S_OK);
    ASSERT_TRUE(WaitForSound(300, 3s));
    ASSERT_EQ(voice_->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr), S_OK);
    EXPECT_EQ(voice_->WaitUntilDone(0), S_OK);
    std::this_thread::sleep_for(400ms);
    EXPECT_LT(recorder_->RecentRms(200), 30) << "still sounding after the purge";
    // And the voice speaks again afterwards.
    ASSERT_EQ(voice_->Speak(u"你好", SPF_ASYNC, nullptr), S_OK);
    EXPECT_TRUE(WaitForSound(300, 3s));
    voice_->WaitUntilDone(10000);
}

TEST_F(AudioVoice, SynchronousSpeakReturnsWhenPlayedOut) {
    ASSERT_EQ(voice_->Speak(u"你好", 0, nullptr), S_OK);
    EXPECT_EQ(voice_->WaitUntilDone(0), S_OK);
    EXPECT_GT(test::VoicedSeconds(recorder_->Samples(), test::MonitorRecorder::kRate), 0.3);
}

TEST(AudioUnavailable, SpeakingWithoutASoundServerFailsCleanly) {
    const char* previous = std::getenv("PULSE_SERVER");
    const std::string saved = previous ? previous : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/socket", 1);
    CoInitialize(nullptr);
    SetPlatformSettings(PlatformSettings{"", LEXAVO_BIN_DIR "/voices"});
    ComPtr<ISpVoice> voice;
    ASSERT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, 7, IID_ISpVoice, reinterpret_cast<void**>(voice.Put())), S_OK);
    EXPECT_EQ(voice->Speak(u"你好", 0, nullptr), ToHresult(Status::AudioUnavailable));
    EXPECT_EQ(voice->Speak(u"你好", SPF_ASYNC, nullptr), S_OK);
    EXPECT_EQ(voice->WaitUntilDone(10000), S_OK);
    voice.Reset();
    SetPlatformSettings(std::nullopt);
    CoUninitialize();
    if (previous) ::setenv("PULSE_SERVER", saved.c_str(), 1);
    else ::unsetenv("PULSE_SERVER");
}

// A sound server that stops answering (here stopped with SIGSTOP): Stop and the voice's end
// return within seconds, an utterance ends as an output failure, and once the server answers
// again the voice speaks again.
TEST(StuckSoundServer, NothingWaitsForAServerThatDoesNotAnswer) {
    test::PulseServer server;  // a server of this test's own: it is stopped below
    ASSERT_TRUE(server.Ready()) << server.Error();
    CoInitialize(nullptr);
    SetPlatformSettings(PlatformSettings{"", LEXAVO_BIN_DIR "/voices"});
    ComPtr<ISpVoice> voice;
    ASSERT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, 7, IID_ISpVoice, reinterpret_cast<void**>(voice.Put())), S_OK);
    const auto elapsed = [](auto start) { return std::chrono::steady_clock::now() - start; };
    constexpr auto kPrompt = 10s;  // a hang shows as the whole test's time-out; this names it

    ASSERT_EQ(voice->Speak(kText, SPF_ASYNC, nullptr), S_OK);
    std::this_thread::sleep_for(300ms);
    server.Freeze();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr), S_OK);
    EXPECT_LT(elapsed(start), kPrompt) << "Stop waited for the server";

    start = std::chrono::steady_clock::now();
    ASSERT_EQ(voice->Speak(u"你好", SPF_ASYNC, nullptr), S_OK);
    EXPECT_EQ(voice->WaitUntilDone(30000), S_OK) << "the utterance waited for the server";
    EXPECT_LT(elapsed(start), kPrompt);
    SPVOICESTATUS status{};
    ASSERT_EQ(voice->GetStatus(&status, nullptr), S_OK);
    EXPECT_EQ(status.hrLastResult, ToHresult(Status::AudioTimedOut));
    EXPECT_EQ(status.dwRunningState, static_cast<DWORD>(SPRS_DONE));

    server.Thaw();
    EXPECT_EQ(voice->Speak(u"你好", 0, nullptr), S_OK) << "the voice speaks again";

    ASSERT_EQ(voice->Speak(kText, SPF_ASYNC, nullptr), S_OK);
    std::this_thread::sleep_for(300ms);
    server.Freeze();
    start = std::chrono::steady_clock::now();
    voice.Reset();
    EXPECT_LT(elapsed(start), kPrompt) << "the voice's end waited for the server";
    server.Thaw();
    SetPlatformSettings(std::nullopt);
    CoUninitialize();
}

}  // namespace
}  // namespace lexavo::sp
