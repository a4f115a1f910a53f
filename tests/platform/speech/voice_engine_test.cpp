// The voice on the real eSpeak NG engine, rendering into wave files.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "platform/speech/espeak_engine.h"
#include "platform/speech/settings.h"
#include "platform/speech/text_codec.h"
#include "platform/speech/voice.h"
#include "platform/speech/voice_tokens.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"

namespace lexavo::sp {
namespace {

constexpr const char16_t* kSentence = u"今天天气很好，我们去公园散步。";

class RealVoice : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        SetPlatformSettings(PlatformSettings{"", LEXAVO_BIN_DIR "/voices"});
        ASSERT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, 7, IID_ISpVoice, reinterpret_cast<void**>(voice_.Put())), S_OK);
    }
    void TearDown() override {
        voice_.Reset();
        SetPlatformSettings(std::nullopt);
        CoUninitialize();
    }

    // Binds a file stream in the voice's current format and makes it the output.
    ComPtr<ISpStream> BindFile(const std::string& path) {
        ComPtr<ISpStreamFormat> current;
        EXPECT_EQ(voice_->GetOutputStream(current.Put()), S_OK);
        GUID id;
        WAVEFORMATEX* wfx = nullptr;
        EXPECT_EQ(current->GetFormat(&id, &wfx), S_OK);
        ComPtr<ISpStream> stream;
        EXPECT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, 7, IID_ISpStream, reinterpret_cast<void**>(stream.Put())), S_OK);
        EXPECT_EQ(stream->BindToFile(Utf8ToUtf16(path).c_str(), SPFM_CREATE_ALWAYS, &id, wfx, SPFEI_ALL_EVENTS), S_OK);
        CoTaskMemFree(wfx);
        EXPECT_EQ(voice_->SetOutput(stream.Get(), TRUE), S_OK);
        return stream;
    }

    test::WavFile Render(const std::u16string& text, DWORD flags = 0, HRESULT* hr = nullptr) {
        const std::string path = dir_.File("out.wav");
        {
            auto stream = BindFile(path);
            const HRESULT result = voice_->Speak(text.c_str(), flags, nullptr);
            if (hr) *hr = result;
            voice_->SetOutput(nullptr, TRUE);
            stream->Close();
        }
        return test::ReadWav(path);
    }

    void UseToken(const std::string& fileText) {
        ComPtr<ISpObjectToken> token;
        ASSERT_EQ(CreateVoiceToken(ParseVoiceToken(fileText, u"test"), token.Put()), S_OK);
        ASSERT_EQ(voice_->SetVoice(token.Get()), S_OK);
    }

    test::TempDir dir_;
    ComPtr<ISpVoice> voice_;
};

TEST_F(RealVoice, MandarinVoiceReadsChineseCharactersAsMandarin) {
    // The default voice is the first token: Mandarin read with pinyin.
    const auto wav = Render(kSentence);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_EQ(wav.sampleRate, 22050u);
    EXPECT_NEAR(wav.Seconds(), 4.1, 0.6);
    EXPECT_GT(test::Rms(wav.samples), 500);
    // The plain "cmn" voice spells the pinyin out in English, which takes much longer.
    UseToken("[Attributes]\nEngine = espeak-ng\nVoice = cmn\n");
    const auto spelled = Render(kSentence);
    EXPECT_GT(spelled.Seconds(), wav.Seconds() + 0.8);
}

TEST_F(RealVoice, DurationFollowsTheRateOverTheWholeRange) {
    std::vector<double> seconds;
    for (LONG rate = -10; rate <= 10; ++rate) {
        ASSERT_EQ(voice_->SetRate(rate), S_OK);
        const auto wav = Render(kSentence);
        ASSERT_TRUE(wav.valid) << wav.error;
        seconds.push_back(wav.Seconds());
    }
    for (std::size_t i = 1; i < seconds.size(); ++i) EXPECT_LT(seconds[i], seconds[i - 1]) << "rate " << int(i) - 10;
    const double ratio = seconds.front() / seconds.back();
    // 3^(10/10) / 3^(-10/10): about nine times shorter.
    EXPECT_GT(ratio, 7.5);
    EXPECT_LT(ratio, 11.0);
    std::printf("rate -10: %.2f s, rate 0: %.2f s, rate 10: %.2f s, ratio %.1f\n", seconds.front(), seconds[10],
                seconds.back(), ratio);
}

TEST_F(RealVoice, EveryShippedVoiceSpeaks) {
    for (const auto& token : LoadVoiceTokens(LEXAVO_BIN_DIR "/voices")) {
        ComPtr<ISpObjectToken> t;
        ASSERT_EQ(CreateVoiceToken(token, t.Put()), S_OK);
        ASSERT_EQ(voice_->SetVoice(t.Get()), S_OK) << token.Attributes().name;
        const auto wav = Render(u"你好 hello");
        ASSERT_TRUE(wav.valid) << wav.error;
        EXPECT_GT(test::VoicedSeconds(wav.samples, wav.sampleRate), 0.3) << token.Attributes().name;
    }
    ComPtr<ISpObjectToken> missing;
    ASSERT_EQ(CreateVoiceToken(ParseVoiceToken("[Attributes]\nVoice = no-such-voice\n", u"x"), missing.Put()), S_OK);
    EXPECT_EQ(voice_->SetVoice(missing.Get()), SPERR_NOT_FOUND);
    ASSERT_EQ(CreateVoiceToken(ParseVoiceToken("[Attributes]\nEngine = other\nVoice = en\n", u"y"), missing.Put()), S_OK);
    EXPECT_EQ(voice_->SetVoice(missing.Get()), SPERR_NOT_FOUND);
}

TEST_F(RealVoice, MarkupIsReadAsMarkupOnlyWhenAskedFor) {
    HRESULT hr;
    const auto plain = Render(u"<speak>你好</speak>", 0, &hr);
    EXPECT_EQ(hr, S_OK);
    const auto markup = Render(u"<speak>你好</speak>", SPF_IS_XML, &hr);
    EXPECT_EQ(hr, S_OK);
    ASSERT_TRUE(plain.valid && markup.valid);
    // Read as text, the tags are spoken too.
    EXPECT_GT(plain.Seconds(), markup.Seconds() + 0.5);
    const auto longer = Render(u"<speak>你好<break time=\"2s\"/>你好</speak>", SPF_IS_XML, &hr);
    EXPECT_GT(longer.Seconds(), markup.Seconds() + 1.5);

    const auto refused = Render(u"<speak>你好<break></speak>", SPF_IS_XML, &hr);
    EXPECT_EQ(hr, ToHresult(Status::MalformedMarkup));
    ASSERT_TRUE(refused.valid);
    EXPECT_TRUE(refused.samples.empty());
}

// The shipped Mandarin voice reads numbers and marks as they are written out: the engine
// hears the written-out text. (Within one process the engine's output drifts by a few
// samples from one utterance to the next, so lengths are compared, not samples.)
TEST_F(RealVoice, TheMandarinVoiceReadsNumbersAndMarksWrittenOut) {
    const struct {
        const char16_t* written;
        const char16_t* spoken;
    } cases[] = {
        {u"2024年", u"二零二四年"}, {u"12.5元", u"十二点五元"}, {u"35%", u"百分之三十五"},
        {u"1,000,000人", u"一百万人"}, {u"一个2个", u"一个两个"}, {u"你好,世界", u"你好，世界"},
        {u"吉\U00020BB7家", u"吉家"},
    };
    for (const auto& c : cases) {
        const double written = Render(c.written).Seconds();
        EXPECT_GT(written, 0.3) << Utf16ToUtf8(c.written);
        EXPECT_NEAR(written, Render(c.spoken).Seconds(), 0.02) << Utf16ToUtf8(c.written);
    }
    // A voice whose file names no front end hands the text over as it is ("35 percent").
    UseToken("[Attributes]\nEngine = espeak-ng\nVoice = cmn-latn-pinyin\n");
    EXPECT_GT(std::abs(Render(u"35%").Seconds() - Render(u"百分之三十五").Seconds()), 0.1);
}

TEST_F(RealVoice, AVoiceChangedByMarkupDoesNotStayForLaterPlainText) {
    const double before = Render(kSentence).Seconds();
    HRESULT hr;
    Render(u"<speak><voice name=\"en\">hello</voice></speak>", SPF_IS_XML, &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_NEAR(Render(kSentence).Seconds(), before, 0.05);
}

TEST_F(RealVoice, MarkupNamingAnUnknownVoiceOrVariantIsRefused) {
    HRESULT hr;
    Render(u"<speak><voice name=\"en+../../../../etc/passwd\">x</voice></speak>", SPF_IS_XML, &hr);
    EXPECT_EQ(hr, ToHresult(Status::MarkupRefused));
    Render(u"<speak><voice name=\"en+f2\">x</voice></speak>", SPF_IS_XML, &hr);
    EXPECT_EQ(hr, S_OK);
    // A voice file's variant goes through the same list.
    UseToken("[Attributes]\nEngine = espeak-ng\nVoice = en\nVariant = m3\n");
    ComPtr<ISpObjectToken> unknown;
    ASSERT_EQ(CreateVoiceToken(ParseVoiceToken("[Attributes]\nVoice = en\nVariant = nosuch\n", u"t"), unknown.Put()), S_OK);
    EXPECT_EQ(voice_->SetVoice(unknown.Get()), SPERR_NOT_FOUND);
}

// Below the markup check: the engine itself follows no URI. Left alone it would open an
// <audio> source and hand it to "sox" through a shell.
TEST(EngineUris, AnAudioSourceIsNeitherOpenedNorHandedToAProcess) {
    CoInitialize(nullptr);
    SetPlatformSettings(PlatformSettings{"", LEXAVO_BIN_DIR "/voices"});
    EspeakEngine engine;  // starts the library
    ASSERT_EQ(engine.Status(), S_OK);
    test::TempDir dir;
    const std::string source = dir.Write("sound.txt", "not a wave file");
    const std::string marker = dir.File("sox-ran");
    const std::string sox = dir.Write("sox", "#!/bin/sh\ntouch '" + marker + "'\n");
    ::chmod(sox.c_str(), 0755);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (dir.Path() + ":" + path).c_str(), 1);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, source.c_str(), IN_OPEN), 0);

    struct Count final : EspeakAdapter::Consumer {
        std::size_t samples = 0;
        bool Consume(const std::int16_t*, std::size_t n) override {
            samples += n;
            return true;
        }
    } audio;
    const std::string markup = "<speak>one <audio src=\"" + source + "\">two</audio> three</speak>";
    EXPECT_EQ(EspeakAdapter::Instance().Synthesize(markup, true, "en", 175, audio), S_OK);
    EXPECT_GT(audio.samples, 0u);
    char events[4096];
    EXPECT_LT(::read(watch, events, sizeof events), 0) << "the source was opened";
    EXPECT_FALSE(std::filesystem::exists(marker)) << "a process was started";
    ::close(watch);
    ::setenv("PATH", path.c_str(), 1);
    SetPlatformSettings(std::nullopt);
    CoUninitialize();
}

TEST_F(RealVoice, AsynchronousSpeakReturnsLongBeforeTheRenderEnds) {
    std::u16string text;
    for (int i = 0; i < 200; ++i) text += kSentence;
    const std::string path = dir_.File("long.wav");
    auto stream = BindFile(path);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(voice_->Speak(text.c_str(), SPF_ASYNC, nullptr), S_OK);
    const auto returned = std::chrono::steady_clock::now();
    EXPECT_EQ(voice_->WaitUntilDone(0), S_FALSE);
    ASSERT_EQ(voice_->WaitUntilDone(INFINITE), S_OK);
    const auto done = std::chrono::steady_clock::now();
    voice_->SetOutput(nullptr, TRUE);
    EXPECT_EQ(stream->Close(), S_OK);
    stream.Reset();
    const auto wav = test::ReadWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_GT(wav.Seconds(), 600);
    std::printf("speak returned after %.3f ms; %.0f s of audio rendered in %.0f ms\n",
                std::chrono::duration<double, std::milli>(returned - start).count(), wav.Seconds(),
                std::chrono::duration<double, std::milli>(done - start).count());
}

TEST_F(RealVoice, HugeAndBrokenTextsNeitherCrashNorHang) {
    std::string huge;
    huge.reserve(10 << 20);
    while (huge.size() < (10u << 20)) huge += "今天天气很好，我们去公园散步。\xFF\xFE ";
    const std::u16string wide = Utf8ToUtf16(huge);
    const std::string path = dir_.File("huge.wav");
    auto stream = BindFile(path);
    ASSERT_EQ(voice_->Speak(wide.c_str(), SPF_ASYNC, nullptr), S_OK);
    ASSERT_EQ(voice_->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr), S_OK);
    EXPECT_EQ(voice_->WaitUntilDone(0), S_OK);
    voice_->SetOutput(nullptr, TRUE);
    EXPECT_EQ(stream->Close(), S_OK);
    stream.Reset();
    EXPECT_TRUE(test::ReadWav(path).valid);
}

TEST_F(RealVoice, EventsArriveInOrderOnTheRegisteringThread) {
    struct Seen {
        ISpVoice* voice;
        std::vector<int> ids;
        std::thread::id thread;
    } seen{voice_.Get(), {}, {}};
    auto queue = std::make_shared<MessageQueue>();
    SetCurrentThreadPoster(queue);
    const ULONGLONG interest = SPFEI(SPEI_START_INPUT_STREAM) | SPFEI(SPEI_END_INPUT_STREAM);
    voice_->SetInterest(interest, interest);
    voice_->SetNotifyCallbackFunction(
        [](WPARAM w, LPARAM) {
            auto* s = reinterpret_cast<Seen*>(w);
            s->thread = std::this_thread::get_id();
            SPEVENT e;
            while (s->voice->GetEvents(1, &e, nullptr) == S_OK) s->ids.push_back(e.eEventId);
        },
        reinterpret_cast<WPARAM>(&seen), 0);
    Render(u"一");
    Render(u"二");
    while (queue->RunPending() > 0) {}
    EXPECT_EQ(seen.ids, (std::vector<int>{1, 2, 1, 2}));
    EXPECT_EQ(seen.thread, std::this_thread::get_id());
    voice_->SetNotifyCallbackFunction(nullptr, 0, 0);
    SetCurrentThreadPoster(nullptr);
}

TEST(EngineStart, AVoiceCannotBeCreatedWhenTheEngineDataIsMissing) {
    CoInitialize(nullptr);
    test::TempDir empty;
    for (const std::string& data : {empty.Path(), empty.File("absent")}) {
        SetPlatformSettings(PlatformSettings{data, LEXAVO_BIN_DIR "/voices"});
        ComPtr<ISpVoice> voice;
        EXPECT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, 7, IID_ISpVoice, reinterpret_cast<void**>(voice.Put())),
                  REGDB_E_CLASSNOTREG)
            << data;
        EXPECT_FALSE(voice);
    }
    SetPlatformSettings(std::nullopt);
    ComPtr<ISpVoice> voice;
    EXPECT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, 7, IID_ISpVoice, reinterpret_cast<void**>(voice.Put())), S_OK);
    CoUninitialize();
}

}  // namespace
}  // namespace lexavo::sp
