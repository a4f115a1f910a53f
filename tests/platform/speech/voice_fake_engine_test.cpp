// The voice's queue, events and purge, against a recording engine and sink.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "platform/speech/settings.h"
#include "platform/speech/text_codec.h"
#include "platform/speech/voice.h"
#include "tests/support/temp_dir.h"

namespace lexavo::sp {
namespace {

using namespace std::chrono_literals;

struct EngineLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SpeakJob> jobs;
    bool gateOpen = true;
    std::string passesGate;  // a text that never waits at the gate
    HRESULT result = S_OK;
    int cancelled = 0;
};

// Writes 100 samples per job; waits at the gate while it is closed, as a long text would.
class RecordingEngine final : public TtsEngine {
public:
    explicit RecordingEngine(std::shared_ptr<EngineLog> log) : log_(std::move(log)) {}
    HRESULT Status() const override { return S_OK; }
    std::string Reason() const override { return {}; }
    AudioFormat NativeFormat() const override { return {22050, 1, 16}; }
    HRESULT CheckVoice(const VoiceAttributes& v) override { return v.voice == "missing" ? SPERR_NOT_FOUND : S_OK; }
    HRESULT Speak(const SpeakJob& job, IAudioSink& sink) override {
        std::unique_lock lock(log_->mutex);
        log_->jobs.push_back(job);
        log_->changed.notify_all();
        while (!log_->gateOpen && job.text != log_->passesGate && !job.cancel->load()) log_->changed.wait_for(lock, 5ms);
        if (job.cancel->load()) {
            ++log_->cancelled;
            return S_FALSE;
        }
        lock.unlock();
        std::int16_t samples[100] = {};
        sink.Write(samples, 100);
        return log_->result;
    }

private:
    std::shared_ptr<EngineLog> log_;
};

class RecordingSink final : public ISpStreamFormat, public IAudioSink, public RefCounted<RecordingSink> {
public:
    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == IID_ISpStreamFormat) *ppv = static_cast<ISpStreamFormat*>(this);
        else if (iid == IID_IAudioSink) *ppv = static_cast<IAudioSink*>(this);
        else return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    LEXAVO_IMPLEMENT_REFCOUNT
    HRESULT GetFormat(GUID* id, WAVEFORMATEX** wfx) override {
        *id = SPDFID_WaveFormatEx;
        *wfx = NewWaveFormat(SinkFormat());
        return S_OK;
    }
    AudioFormat SinkFormat() override { return {22050, 1, 16}; }
    HRESULT BeginUtterance() override { return ++begun, S_OK; }
    HRESULT Write(const std::int16_t*, std::size_t count) override { return written += count, S_OK; }
    HRESULT EndUtterance(bool) override { return ++ended, S_OK; }
    void Abort() override { ++aborted; }

    std::atomic<int> begun{0}, ended{0}, aborted{0};
    std::atomic<std::size_t> written{0};

private:
    friend class RefCounted<RecordingSink>;
    ~RecordingSink() = default;
};

// Notification callbacks land here, with the thread they ran on.
struct Notified {
    static inline std::vector<std::thread::id> threads;
    static void Callback(WPARAM w, LPARAM) {
        threads.push_back(std::this_thread::get_id());
        auto* voice = reinterpret_cast<ISpVoice*>(w);
        SPEVENT e;
        while (voice->GetEvents(1, &e, nullptr) == S_OK) ids.push_back(e.eEventId);
    }
    static inline std::vector<int> ids;
};

class VoiceQueue : public ::testing::Test {
protected:
    void SetUp() override {
        SetPlatformSettings(PlatformSettings{"", dir_.Path()});  // no tokens
        log_ = std::make_shared<EngineLog>();
        ASSERT_EQ(CreateSpVoice(std::make_unique<RecordingEngine>(log_), IID_ISpVoice, reinterpret_cast<void**>(voice_.Put())), S_OK);
        sink_ = ComPtr<RecordingSink>::Adopt(new RecordingSink());
        ASSERT_EQ(voice_->SetOutput(static_cast<ISpStreamFormat*>(sink_.Get()), TRUE), S_OK);
        queue_ = std::make_shared<MessageQueue>();
        SetCurrentThreadPoster(queue_);
        Notified::ids.clear();
        Notified::threads.clear();
    }
    void TearDown() override {
        voice_.Reset();
        SetCurrentThreadPoster(nullptr);
        SetPlatformSettings(std::nullopt);
    }
    void CloseGate() {
        std::lock_guard lock(log_->mutex);
        log_->gateOpen = false;
    }
    void OpenGate() {
        std::lock_guard lock(log_->mutex);
        log_->gateOpen = true;
        log_->changed.notify_all();
    }
    std::size_t JobsSeen() {
        std::lock_guard lock(log_->mutex);
        return log_->jobs.size();
    }
    void WaitForJobs(std::size_t n) {
        std::unique_lock lock(log_->mutex);
        log_->changed.wait_for(lock, 5s, [&] { return log_->jobs.size() >= n; });
    }

    test::TempDir dir_;
    std::shared_ptr<EngineLog> log_;
    ComPtr<ISpVoice> voice_;
    ComPtr<RecordingSink> sink_;
    std::shared_ptr<MessageQueue> queue_;
};

TEST_F(VoiceQueue, EventsStartThenEndPerRequestOnTheRegisteringThread) {
    const ULONGLONG interest = SPFEI(SPEI_START_INPUT_STREAM) | SPFEI(SPEI_END_INPUT_STREAM);
    ASSERT_EQ(interest, 0x0000000240000006ull);
    ASSERT_EQ(voice_->SetInterest(interest, interest), S_OK);
    ASSERT_EQ(voice_->SetNotifyCallbackFunction(&Notified::Callback, reinterpret_cast<WPARAM>(voice_.Get()), 0), S_OK);
    ASSERT_EQ(voice_->Speak(u"one", SPF_ASYNC, nullptr), S_OK);
    ASSERT_EQ(voice_->Speak(u"two", SPF_ASYNC, nullptr), S_OK);
    ASSERT_EQ(voice_->WaitUntilDone(INFINITE), S_OK);
    EXPECT_TRUE(Notified::ids.empty()) << "callbacks run only from the thread's own loop";
    while (queue_->RunPending() > 0) {}
    EXPECT_EQ(Notified::ids, (std::vector<int>{1, 2, 1, 2}));
    ASSERT_FALSE(Notified::threads.empty());
    for (auto id : Notified::threads) EXPECT_EQ(id, std::this_thread::get_id());
    SPEVENT e;
    ULONG fetched = 7;
    EXPECT_EQ(voice_->GetEvents(1, &e, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

TEST_F(VoiceQueue, EventsStayQueuedWithoutCallbackAndWithdrawnCallbacksNeverRun) {
    const ULONGLONG interest = SPFEI(SPEI_START_INPUT_STREAM) | SPFEI(SPEI_END_INPUT_STREAM);
    ASSERT_EQ(voice_->SetInterest(interest, interest), S_OK);
    ASSERT_EQ(voice_->SetNotifyCallbackFunction(&Notified::Callback, reinterpret_cast<WPARAM>(voice_.Get()), 0), S_OK);
    ASSERT_EQ(voice_->Speak(u"one", 0, nullptr), S_OK);
    ASSERT_EQ(voice_->SetNotifyCallbackFunction(nullptr, 0, 0), S_OK);
    while (queue_->RunPending() > 0) {}
    EXPECT_TRUE(Notified::ids.empty());
    SPEVENT events[3];
    ULONG fetched = 0;
    EXPECT_EQ(voice_->GetEvents(3, events, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(events[0].eEventId, SPEI_START_INPUT_STREAM);
    EXPECT_EQ(events[1].eEventId, SPEI_END_INPUT_STREAM);
}

TEST_F(VoiceQueue, InterestMustCarryTheCheckBits) {
    EXPECT_EQ(voice_->SetInterest(1ull << 1, 1ull << 1), E_INVALIDARG);
    EXPECT_EQ(voice_->SetInterest(SPFEI(1), SPFEI(1) | SPFEI(2)), E_INVALIDARG);
    EXPECT_EQ(voice_->SetInterest(0, 0), S_OK);
}

TEST_F(VoiceQueue, AsyncSpeakReturnsAtOnceAndWaitHonoursItsTimeout) {
    CloseGate();
    ULONG stream = 0;
    ASSERT_EQ(voice_->Speak(u"long text", SPF_ASYNC, &stream), S_OK);
    EXPECT_GT(stream, 0u);
    WaitForJobs(1);
    EXPECT_EQ(voice_->WaitUntilDone(50), S_FALSE);
    OpenGate();
    EXPECT_EQ(voice_->WaitUntilDone(5000), S_OK);
    EXPECT_EQ(sink_->written, 100u);
    EXPECT_EQ(sink_->begun, 1);
    EXPECT_EQ(sink_->ended, 1);
}

TEST_F(VoiceQueue, PurgeDropsTheUtteranceInProgressAndEverythingQueued) {
    CloseGate();
    ASSERT_EQ(voice_->Speak(u"first", SPF_ASYNC, nullptr), S_OK);
    ASSERT_EQ(voice_->Speak(u"second", SPF_ASYNC, nullptr), S_OK);
    ASSERT_EQ(voice_->Speak(u"third", SPF_ASYNC, nullptr), S_OK);
    WaitForJobs(1);
    ASSERT_EQ(voice_->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr), S_OK);
    // Purge returns with the output stopped and the voice idle.
    EXPECT_EQ(voice_->WaitUntilDone(0), S_OK);
    EXPECT_EQ(sink_->aborted, 1);
    EXPECT_EQ(JobsSeen(), 1u);
    EXPECT_EQ(log_->cancelled, 1);
    OpenGate();
    ASSERT_EQ(voice_->Speak(u"after", 0, nullptr), S_OK);
    EXPECT_EQ(JobsSeen(), 2u);
    EXPECT_EQ(log_->jobs.back().text, "after");
    // Purging an idle voice is fine too.
    EXPECT_EQ(voice_->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr), S_OK);
}

TEST_F(VoiceQueue, EachRequestKeepsTheRateAndTextModeItWasGiven) {
    ASSERT_EQ(voice_->SetRate(-10), S_OK);
    ASSERT_EQ(voice_->Speak(u"<b>plain</b>", SPF_ASYNC, nullptr), S_OK);
    ASSERT_EQ(voice_->SetRate(10), S_OK);
    ASSERT_EQ(voice_->Speak(u"<speak>x</speak>", SPF_ASYNC | SPF_IS_XML, nullptr), S_OK);
    EXPECT_EQ(voice_->SetRate(11), E_INVALIDARG);
    EXPECT_EQ(voice_->SetRate(-11), E_INVALIDARG);
    LONG rate = 0;
    voice_->GetRate(&rate);
    EXPECT_EQ(rate, 10);
    voice_->WaitUntilDone(INFINITE);
    ASSERT_EQ(log_->jobs.size(), 2u);
    EXPECT_EQ(log_->jobs[0].rate, -10);
    EXPECT_FALSE(log_->jobs[0].markup);
    EXPECT_EQ(log_->jobs[1].rate, 10);
    EXPECT_TRUE(log_->jobs[1].markup);
}

TEST_F(VoiceQueue, BadRequestsAreRefusedBeforeAnythingIsQueued) {
    test::TempDir files;
    const struct {
        const char* name;
        std::u16string text;
        bool nullText;
        DWORD flags;
        HRESULT expected;
    } cases[] = {
        {"unknown flag", u"x", false, 128, SPERR_INVALID_FLAGS},
        {"xml and not xml", u"x", false, SPF_IS_XML | SPF_IS_NOT_XML, SPERR_INVALID_FLAGS},
        {"null text", u"", true, SPF_ASYNC, E_POINTER},
        {"malformed markup", u"<speak>open", false, SPF_ASYNC | SPF_IS_XML, ToHresult(Status::MalformedMarkup)},
        {"missing file", Utf8ToUtf16(files.File("none.txt")), false, SPF_IS_FILENAME, ToHresult(Status::FileNotFound)},
        {"folder as file", Utf8ToUtf16(files.Path()), false, SPF_IS_FILENAME, ToHresult(Status::IsAFolder)},
        {"file name that does not convert", u"a\xD800.txt", false, SPF_IS_FILENAME, ToHresult(Status::InvalidName)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(voice_->Speak(c.nullText ? nullptr : c.text.c_str(), c.flags, nullptr), c.expected) << c.name;
    voice_->WaitUntilDone(INFINITE);
    EXPECT_EQ(JobsSeen(), 0u);
    EXPECT_EQ(sink_->begun, 0);
}

TEST_F(VoiceQueue, TextsAreCleanedOnTheWayIn) {
    test::TempDir files;
    const std::string path = files.Write("in.txt", "\xEF\xBB\xBF" "file \xFF text");
    ASSERT_EQ(voice_->Speak(Utf8ToUtf16(path).c_str(), SPF_IS_FILENAME, nullptr), S_OK);
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    ASSERT_EQ(voice_->Speak(lone, 0, nullptr), S_OK);
    ASSERT_EQ(log_->jobs.size(), 2u);
    EXPECT_EQ(log_->jobs[0].text, "file \xEF\xBF\xBD text");
    EXPECT_EQ(log_->jobs[1].text, "a?b");
}

// Generating a file while a reading plays: the file neither stops nor waits for the reading.
TEST_F(VoiceQueue, ASynchronousRequestForAnotherOutputRunsBesideTheReading) {
    CloseGate();
    ASSERT_EQ(voice_->Speak(u"reading", SPF_ASYNC, nullptr), S_OK);
    WaitForJobs(1);
    auto file = ComPtr<RecordingSink>::Adopt(new RecordingSink());
    ASSERT_EQ(voice_->SetOutput(static_cast<ISpStreamFormat*>(file.Get()), TRUE), S_OK);
    {
        std::lock_guard lock(log_->mutex);
        log_->passesGate = "file";
    }
    EXPECT_EQ(voice_->Speak(u"file", 0, nullptr), S_OK);
    EXPECT_EQ(file->written, 100u);
    EXPECT_EQ(voice_->WaitUntilDone(0), S_FALSE) << "the reading goes on";
    EXPECT_EQ(log_->cancelled, 0);

    // To the reading's own output, a synchronous request waits its turn.
    ASSERT_EQ(voice_->SetOutput(static_cast<ISpStreamFormat*>(sink_.Get()), TRUE), S_OK);
    std::atomic<bool> returned{false};
    std::thread second([&] {
        voice_->Speak(u"file", 0, nullptr);
        returned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned);
    OpenGate();
    second.join();
    EXPECT_EQ(sink_->written, 200u);
}

TEST_F(VoiceQueue, SynchronousSpeakReportsTheEnginesVerdict) {
    log_->result = ToHresult(Status::EngineFailed);
    EXPECT_EQ(voice_->Speak(u"x", 0, nullptr), ToHresult(Status::EngineFailed));
    log_->result = S_OK;
    EXPECT_EQ(voice_->Speak(u"", 0, nullptr), S_OK);
}

TEST_F(VoiceQueue, ReleasingAVoiceWhileItSpeaksStopsItCleanly) {
    CloseGate();
    ASSERT_EQ(voice_->Speak(u"first", SPF_ASYNC, nullptr), S_OK);
    ASSERT_EQ(voice_->Speak(u"second", SPF_ASYNC, nullptr), S_OK);
    WaitForJobs(1);
    voice_.Reset();  // joins the worker
    EXPECT_EQ(JobsSeen(), 1u);
    EXPECT_EQ(sink_->aborted, 1);
}

TEST_F(VoiceQueue, OutputsAndVoicesAreChecked) {
    ComPtr<ISpStreamFormat> current;
    ASSERT_EQ(voice_->GetOutputStream(current.Put()), S_OK);
    EXPECT_EQ(current.Get(), static_cast<ISpStreamFormat*>(sink_.Get()));
    EXPECT_EQ(voice_->SetOutput(nullptr, TRUE), S_OK);  // the default audio output
    ASSERT_EQ(voice_->GetOutputStream(current.Put()), S_OK);
    EXPECT_NE(current.Get(), static_cast<ISpStreamFormat*>(sink_.Get()));
    GUID id;
    WAVEFORMATEX* wfx = nullptr;
    ASSERT_EQ(current->GetFormat(&id, &wfx), S_OK);
    EXPECT_EQ(wfx->nSamplesPerSec, 22050u);
    CoTaskMemFree(wfx);
    EXPECT_EQ(voice_->SetVoice(nullptr), S_OK);
}

}  // namespace
}  // namespace lexavo::sp
