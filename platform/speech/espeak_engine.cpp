#include "platform/speech/espeak_engine.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <sonic.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/speech/settings.h"
#include "platform/speech/text_pieces.h"

namespace lexavo::sp {
namespace {

constexpr int kNormalWordsPerMinute = espeakRATE_NORMAL;
constexpr int kSlowestWordsPerMinute = espeakRATE_MINIMUM;
// At its nominal maximum (450) the engine switches to another speed-up and gets slower again.
constexpr int kFastestWordsPerMinute = espeakRATE_MAXIMUM - 2;
constexpr int kBufferMs = 20;  // audio per callback: small, so the first audio leaves early
// Pieces of plain text rendered at a time (see Speak): about 30 and 100 Chinese characters.
constexpr std::size_t kFirstPieceBytes = 90;
constexpr std::size_t kPieceBytes = 300;

// Above its normal rate the engine shortens speech faster than its words per minute rise
// (measured: 2.56 times the rate gives 3.07 times the speed), so fast rates are scaled down
// to keep the duration following 3^(rate/10).
double WordsPerMinuteFor(double speedFactor) {
    constexpr double kFastExponent = 1.0 / 1.19;
    return kNormalWordsPerMinute * (speedFactor > 1.0 ? std::pow(speedFactor, kFastExponent) : speedFactor);
}

// The render in progress, handed to the library as user data.
struct Session {
    EspeakAdapter::Consumer* consumer;
    bool stopped = false;
};

// The library calls back with no object; the user data leads back to the session.
int SynthCallback(short* wav, int numsamples, espeak_EVENT* events) {
    if (!events) return 0;
    auto* session = static_cast<Session*>(events[0].user_data);
    if (!session) return 0;
    if (session->stopped) return 1;
    if (wav && numsamples > 0 &&
        !session->consumer->Consume(reinterpret_cast<const std::int16_t*>(wav), static_cast<std::size_t>(numsamples))) {
        session->stopped = true;
        return 1;
    }
    return 0;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Every name by which the library can select a voice.
std::set<std::string> ListVoiceNames() {
    std::set<std::string> names;
    const espeak_VOICE** voices = espeak_ListVoices(nullptr);
    for (int i = 0; voices && voices[i]; ++i) {
        const espeak_VOICE* v = voices[i];
        if (v->name) names.insert(Lower(v->name));
        if (v->identifier) {
            const std::string id = Lower(v->identifier);
            names.insert(id);
            names.insert(id.substr(id.rfind('/') + 1));
        }
        // languages: a priority byte, a zero-terminated name, ..., then a zero byte
        for (const char* p = v->languages; p && *p;) {
            const char* lang = p + 1;
            names.insert(Lower(lang));
            p = lang + std::strlen(lang) + 1;
        }
    }
    return names;
}

// The variants ("+f2"), by the file names the library loads them from.
std::set<std::string> ListVariantNames() {
    std::set<std::string> names;
    espeak_VOICE variantsOnly{};
    variantsOnly.languages = "variant";
    const espeak_VOICE** variants = espeak_ListVoices(&variantsOnly);
    for (int i = 0; variants && variants[i]; ++i)
        if (const char* id = variants[i]->identifier) names.insert(Lower(std::strrchr(id, '/') ? std::strrchr(id, '/') + 1 : id));
    return names;
}

// The library would load an <audio> source itself, through a shell; no URI is ever followed.
int RefuseEveryUri(int, const char*, const char*) { return 1; }

std::string StatusText(espeak_ng_STATUS status) {
    char buf[512] = {};
    espeak_ng_GetStatusCodeMessage(status, buf, sizeof buf);
    return buf;
}

// Writes samples into the sink until the job is cancelled or the sink refuses.
class SinkConsumer final : public EspeakAdapter::Consumer {
public:
    SinkConsumer(IAudioSink& sink, const std::atomic<bool>* cancel) : sink_(sink), cancel_(cancel) {}
    bool Consume(const std::int16_t* samples, std::size_t count) override {
        if (Cancelled()) return false;
        result_ = sink_.Write(samples, count);
        return result_ == S_OK && !Cancelled();
    }
    bool Cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }
    HRESULT Result() const { return result_; }

private:
    IAudioSink& sink_;
    const std::atomic<bool>* cancel_;
    HRESULT result_ = S_OK;
};

// Keeps a piece's audio in memory, until the job is cancelled.
class BufferConsumer final : public EspeakAdapter::Consumer {
public:
    explicit BufferConsumer(const std::atomic<bool>* cancel) : cancel_(cancel) {}
    bool Consume(const std::int16_t* s, std::size_t count) override {
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) return false;
        samples.insert(samples.end(), s, s + count);
        return true;
    }
    std::vector<std::int16_t> samples;

private:
    const std::atomic<bool>* cancel_;
};

// Slows audio down below the engine's slowest rate, keeping the pitch.
class StretchConsumer final : public EspeakAdapter::Consumer {
public:
    StretchConsumer(EspeakAdapter::Consumer& next, int sampleRate, float speed)
        : next_(next), stream_(sonicCreateStream(sampleRate, 1)) {
        if (stream_) sonicSetSpeed(stream_, speed);
    }
    ~StretchConsumer() override {
        if (stream_) sonicDestroyStream(stream_);
    }
    bool Consume(const std::int16_t* samples, std::size_t count) override {
        if (!stream_) return next_.Consume(samples, count);
        sonicWriteShortToStream(stream_, const_cast<short*>(samples), static_cast<int>(count));
        return Drain();
    }
    bool Finish() {
        if (!stream_) return true;
        sonicFlushStream(stream_);
        return Drain();
    }

private:
    bool Drain() {
        buffer_.resize(4096);
        for (;;) {
            const int n = sonicReadShortFromStream(stream_, buffer_.data(), static_cast<int>(buffer_.size()));
            if (n <= 0) return true;
            if (!next_.Consume(buffer_.data(), static_cast<std::size_t>(n))) return false;
        }
    }

    EspeakAdapter::Consumer& next_;
    sonicStream stream_;
    std::vector<short> buffer_;
};

}  // namespace

EspeakAdapter& EspeakAdapter::Instance() {
    static EspeakAdapter adapter;
    return adapter;
}

HRESULT EspeakAdapter::Start(const std::string& dataPath, std::string* reason) {
    std::lock_guard lock(mutex_);
    if (started_) {
        // The library cannot be restarted: espeak_ng_Terminate hangs on its own threads.
        if (dataPath == dataPath_) return S_OK;
        if (reason) *reason = "the speech engine already runs with its data in " + dataPath_;
        return REGDB_E_CLASSNOTREG;
    }
    if (!dataPath.empty()) {
        // The library silently falls back to its built-in location for a missing folder;
        // a configured location that is not there means the engine is absent.
        struct stat st {};
        if (::stat(dataPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            if (reason) *reason = "engine data folder not found: " + dataPath;
            return REGDB_E_CLASSNOTREG;
        }
    }
    espeak_ng_InitializePath(dataPath.empty() ? nullptr : dataPath.c_str());
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    if (status != ENS_OK) {
        if (reason) *reason = "the speech engine did not start: " + StatusText(status);
        espeak_ng_ClearErrorContext(&context);
        return REGDB_E_CLASSNOTREG;
    }
    status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, kBufferMs, nullptr);
    if (status != ENS_OK) {
        if (reason) *reason = "the speech engine has no output: " + StatusText(status);
        return REGDB_E_CLASSNOTREG;
    }
    espeak_SetSynthCallback(&SynthCallback);
    espeak_SetUriCallback(&RefuseEveryUri);
    sampleRate_ = espeak_ng_GetSampleRate();
    {
        std::lock_guard names(namesMutex_);
        knownVoices_ = ListVoiceNames();
        knownVariants_ = ListVariantNames();
    }
    dataPath_ = dataPath;
    started_ = true;
    return S_OK;
}

bool EspeakAdapter::KnowsVoice(std::string_view voiceName) {
    // The library turns names into file paths and copies variants into small buffers: only
    // names from its own lists go in.
    const auto plus = voiceName.find('+');
    const std::string base = Lower(std::string(voiceName.substr(0, plus)));
    std::lock_guard names(namesMutex_);
    if (!knownVoices_.count(base)) return false;
    return plus == std::string_view::npos || knownVariants_.count(Lower(std::string(voiceName.substr(plus + 1)))) > 0;
}

int EspeakAdapter::SampleRate() {
    std::lock_guard lock(mutex_);
    return sampleRate_;
}

HRESULT EspeakAdapter::SelectVoiceLocked(const std::string& voiceName) {
    if (!started_) return REGDB_E_CLASSNOTREG;
    if (voiceName == currentVoice_) return S_OK;
    if (!KnowsVoice(voiceName) || espeak_ng_SetVoiceByName(voiceName.c_str()) != ENS_OK) {
        currentVoice_.clear();
        return SPERR_NOT_FOUND;
    }
    currentVoice_ = voiceName;
    return S_OK;
}

HRESULT EspeakAdapter::Synthesize(const std::string& text, bool markup, const std::string& voiceName,
                                  int wordsPerMinute, Consumer& consumer) {
    std::lock_guard lock(mutex_);
    if (const HRESULT hr = SelectVoiceLocked(voiceName); FAILED(hr)) return hr;
    espeak_ng_SetParameter(espeakRATE, wordsPerMinute, 0);
    Session session{&consumer};
    const unsigned flags = espeakCHARS_UTF8 | (markup ? espeakSSML : 0u);
    const espeak_ng_STATUS status =
        espeak_ng_Synthesize(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, &session);
    // <voice> elements change the library's voice behind our back: select again next time.
    if (markup) currentVoice_.clear();
    if (session.stopped) {
        espeak_ng_Cancel();
        return S_FALSE;
    }
    return status == ENS_OK ? S_OK : ToHresult(Status::EngineFailed);
}

EspeakEngine::EspeakEngine() {
    auto& adapter = EspeakAdapter::Instance();
    status_ = adapter.Start(CurrentPlatformSettings().engineDataPath, &reason_);
    if (SUCCEEDED(status_)) format_ = AudioFormat{static_cast<std::uint32_t>(adapter.SampleRate()), 1, 16};
}

std::string EspeakEngine::VoiceName(const VoiceAttributes& voice) {
    std::string name = voice.voice.empty() ? "en" : voice.voice;
    if (!voice.variant.empty()) name += "+" + voice.variant;
    return name;
}

HRESULT EspeakEngine::CheckVoice(const VoiceAttributes& voice) {
    if (FAILED(status_)) return status_;
    if (!voice.engine.empty() && voice.engine != "espeak-ng") return SPERR_NOT_FOUND;
    return EspeakAdapter::Instance().KnowsVoice(VoiceName(voice)) ? S_OK : SPERR_NOT_FOUND;
}

HRESULT EspeakEngine::Speak(const SpeakJob& job, IAudioSink& sink) {
    if (FAILED(status_)) return status_;
    // The engine's own range covers the middle rates; libsonic stretches time beyond it,
    // since the engine's own speed-up past its maximum is not monotonic.
    const double wordsPerMinute = WordsPerMinuteFor(RateSpeedFactor(job.rate));
    const double engineRate = std::clamp(wordsPerMinute, double(kSlowestWordsPerMinute), double(kFastestWordsPerMinute));
    const double speed = wordsPerMinute / engineRate;
    SinkConsumer toSink(sink, job.cancel);
    std::optional<StretchConsumer> stretch;
    if (std::abs(speed - 1.0) > 1e-3) stretch.emplace(toSink, static_cast<int>(format_.sampleRate), static_cast<float>(speed));
    EspeakAdapter::Consumer& out = stretch ? static_cast<EspeakAdapter::Consumer&>(*stretch) : toSink;
    auto& adapter = EspeakAdapter::Instance();
    const int engineWpm = static_cast<int>(std::lround(engineRate));
    const std::string voiceName = VoiceName(job.voice);

    // The library serves one render at a time. The first piece streams straight to the sink,
    // so its audio leaves at once; later pieces are rendered into memory (milliseconds each)
    // and played with the library free, so that a render for another output, such as a file,
    // gets in between them instead of waiting for the whole reading. Markup is one piece:
    // cutting it would break its elements.
    const std::vector<std::string_view> pieces =
        job.markup ? std::vector<std::string_view>{job.text} : CutIntoPieces(job.text, kFirstPieceBytes, kPieceBytes);
    HRESULT hr = S_OK;
    for (std::size_t i = 0; i < pieces.size() && hr == S_OK && !toSink.Cancelled(); ++i) {
        const std::string text = job.frontEnd && !job.markup ? job.frontEnd(pieces[i]) : std::string(pieces[i]);
        if (i == 0) {
            hr = adapter.Synthesize(text, job.markup, voiceName, engineWpm, out);
            continue;
        }
        BufferConsumer rendered(job.cancel);
        hr = adapter.Synthesize(text, false, voiceName, engineWpm, rendered);
        if (hr == S_OK && !rendered.samples.empty() && !out.Consume(rendered.samples.data(), rendered.samples.size()))
            hr = S_FALSE;
    }
    if (hr == S_OK && stretch && !stretch->Finish()) hr = S_FALSE;
    if (FAILED(toSink.Result())) return toSink.Result();
    if (toSink.Cancelled()) return S_FALSE;
    return hr;
}

// An engine that could not be made: always in its error state.
class MissingEngine final : public TtsEngine {
public:
    explicit MissingEngine(std::string name) : reason_("no speech engine named " + name) {}
    HRESULT Status() const override { return REGDB_E_CLASSNOTREG; }
    std::string Reason() const override { return reason_; }
    AudioFormat NativeFormat() const override { return {}; }
    HRESULT CheckVoice(const VoiceAttributes&) override { return REGDB_E_CLASSNOTREG; }
    HRESULT Speak(const SpeakJob&, IAudioSink&) override { return REGDB_E_CLASSNOTREG; }

private:
    std::string reason_;
};

std::unique_ptr<TtsEngine> CreateEngine(const std::string& engineName) {
    if (engineName.empty() || engineName == "espeak-ng") return std::make_unique<EspeakEngine>();
    return std::make_unique<MissingEngine>(engineName);
}

double RateSpeedFactor(long rate) { return std::pow(3.0, static_cast<double>(rate) / 10.0); }

}  // namespace lexavo::sp
