// The speech object on the real platform: eSpeak NG, the shipped voices, wave files and a
// private PulseAudio daemon.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/speech/settings.h"
#include "platform/speech/thread_poster.h"
#include "platform/speech/voice_tokens.h"
#include "speech/host.h"
#include "speech/speech_state.h"
#include "tests/support/test_servers.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"

namespace lexavo::speech {
namespace {

struct TestWindow final : sp::WindowObject {
    sp::HWND Handle() const override { return reinterpret_cast<sp::HWND>(0x5151); }
};
TestWindow g_window;

std::intptr_t TestHost(std::int32_t code, std::intptr_t p1, std::intptr_t p2) {
    if (code == kHostAllocate) return reinterpret_cast<std::intptr_t>(std::malloc(static_cast<std::size_t>(p1)));
    if (code == kHostFindWindow && p1 == 0x52010001 && p2 == 0x16010007) return reinterpret_cast<std::intptr_t>(&g_window);
    return 0;
}

std::vector<std::string> Names(ETextToSpeech* o) {
    std::vector<std::string> out;
    VoiceList* list = GetVoiceNames(o);
    for (int i = 0; i < list->count; ++i) {
        out.push_back(list->items[i] ? list->items[i] : "");
        std::free(list->items[i]);
    }
    std::free(list);
    return out;
}

// The engine voice the object speaks with now.
std::string CurrentEngineVoice(ETextToSpeech* o) {
    sp::ComPtr<sp::ISpObjectToken> token;
    if (sp::FAILED(VoiceOf(o)->GetVoice(token.Put()))) return "";
    return token.As<sp::IVoiceTokenData>(sp::IID_IVoiceTokenData)->Data().Attributes().voice + "+" +
           token.As<sp::IVoiceTokenData>(sp::IID_IVoiceTokenData)->Data().Attributes().variant;
}

class SpeechReal : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::SharedPulse().Ready()) << test::SharedPulse().Error();
        SpeechLibraryNotify(kLibraryStart, reinterpret_cast<std::intptr_t>(&TestHost), 0);
        sp::SetPlatformSettings(sp::PlatformSettings{"", LEXAVO_BIN_DIR "/voices"});
        ::setenv("LANG", "zh_CN.UTF-8", 1);
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_MESSAGES");
    }
    void TearDown() override {
        Destruct(&object);
        sp::SetPlatformSettings(std::nullopt);
    }

    ETextToSpeech object{nullptr, 0};
    test::TempDir dir;
};

TEST_F(SpeechReal, EveryListedVoiceCanBeSelectedByItsTextInEitherLanguage) {
    for (const char* locale : {"zh_CN.UTF-8", "en_US.UTF-8"}) {
        ::setenv("LANG", locale, 1);
        Construct(&object);
        ASSERT_TRUE(IsInitialized(&object));
        // The start-up preference is the first Mandarin voice.
        EXPECT_EQ(CurrentEngineVoice(&object), "cmn-latn-pinyin+") << locale;
        const auto names = Names(&object);
        ASSERT_EQ(names.size(), sp::LoadVoiceTokens(LEXAVO_BIN_DIR "/voices").size());
        for (const auto& name : names) EXPECT_TRUE(SelectVoice(&object, name.c_str())) << locale << ": " << name;
        EXPECT_TRUE(SelectVoice(&object, names[1].c_str()));
        EXPECT_EQ(CurrentEngineVoice(&object), "cmn-latn-pinyin+f2");
        EXPECT_FALSE(SelectVoice(&object, "no such voice"));
        EXPECT_EQ(CurrentEngineVoice(&object), "cmn-latn-pinyin+f2");
        Destruct(&object);
    }
    ::setenv("LANG", "zh_CN.UTF-8", 1);
    Construct(&object);
    EXPECT_NE(Names(&object)[0].find("中文"), std::string::npos);
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_NE(Names(&object)[0].find("Chinese"), std::string::npos);
}

TEST_F(SpeechReal, SpeakingIntoAFileGivesAValidSpokenWaveAndTheOutputComesBack) {
    Construct(&object);
    const std::string path = dir.File("2021年10月25日13时46分53秒.WAV");
    dir.Write("2021年10月25日13时46分53秒.WAV", std::string(1000, 'x'));
    ASSERT_TRUE(SpeakToFile(&object, 0, "今天天气很好，我们去公园散步。", path.c_str()));
    const auto wav = test::ReadWav(path);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_GT(test::VoicedSeconds(wav.samples, wav.sampleRate), 1.5);
    sp::ComPtr<sp::ISpStreamFormat> output;
    ASSERT_EQ(VoiceOf(&object)->GetOutputStream(output.Put()), sp::S_OK);
    EXPECT_FALSE(output.As<sp::ISpStream>(sp::IID_ISpStream)) << "the voice speaks to its audio output again";

    // Mode 3 leaves an empty but valid file; a failed speak leaves the file before it as it
    // was, and nothing else.
    ASSERT_TRUE(SpeakToFile(&object, 3, "ignored", path.c_str()));
    EXPECT_TRUE(test::ReadWav(path).valid);
    EXPECT_TRUE(test::ReadWav(path).samples.empty());
    EXPECT_FALSE(SpeakToFile(&object, 2, "<speak>broken", path.c_str()));
    EXPECT_EQ(LastResult(&object), sp::ToHresult(sp::Status::MalformedMarkup));
    EXPECT_FALSE(SpeakToFile(&object, 1, dir.File("missing.txt").c_str(), path.c_str()));
    EXPECT_EQ(LastResult(&object), sp::ToHresult(sp::Status::FileNotFound));
    EXPECT_TRUE(test::ReadWav(path).valid);
    EXPECT_TRUE(test::ReadWav(path).samples.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_FALSE(SpeakToFile(&object, 0, "x", dir.File("no/folder.wav").c_str()));
    EXPECT_EQ(LastResult(&object), sp::ToHresult(sp::Status::PathNotFound));
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

TEST_F(SpeechReal, ARelayedEventPairReachesTheTargetWindow) {
    std::vector<std::pair<sp::HWND, sp::WPARAM>> received;
    sp::SetMessageSender([&](sp::HWND w, sp::UINT msg, sp::WPARAM wp, sp::LPARAM) -> sp::LRESULT {
        if (msg == kSpeechEventMessage) received.emplace_back(w, wp);
        return 0;
    });
    auto queue = std::make_shared<sp::MessageQueue>();
    sp::SetCurrentThreadPoster(queue);
    Construct(&object);
    ASSERT_TRUE(Speak(&object, 3, nullptr, std::nullopt, EventTarget{0x52010001, 0x16010007}));
    ASSERT_TRUE(SpeakToFile(&object, 0, "你好", dir.File("e.wav").c_str()));
    while (queue->RunPending() > 0) {}
    const auto handle = reinterpret_cast<sp::HWND>(0x5151);
    EXPECT_EQ(received, (std::vector<std::pair<sp::HWND, sp::WPARAM>>{{handle, 1}, {handle, 2}}));
    Destruct(&object);
    sp::SetCurrentThreadPoster(nullptr);
    sp::SetMessageSender(nullptr);
}

TEST_F(SpeechReal, DestructWhileSpeakingIsClean) {
    auto queue = std::make_shared<sp::MessageQueue>();
    sp::SetCurrentThreadPoster(queue);
    std::string text;
    for (int i = 0; i < 50; ++i) text += "今天天气很好，我们去公园散步。";
    for (int i = 0; i < 20; ++i) {
        Construct(&object);
        ASSERT_TRUE(Speak(&object, 0, text.c_str(), std::nullopt, EventTarget{0x52010001, 0x16010007}));
        if (i % 2) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Destruct(&object);
        EXPECT_EQ(object.state, nullptr);
        queue->RunPending();  // notifications of a destroyed object reach nothing
    }
    sp::SetCurrentThreadPoster(nullptr);
}

}  // namespace
}  // namespace lexavo::speech
