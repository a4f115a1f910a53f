// lexavo-bench: speed and memory figures of the speech platform, one "name value unit" a line.
// Needs a sound server for the audio figures (scripts/with-pulse starts a private one).
#include <espeak-ng/speak_lib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/speech/pulse_output.h"
#include "platform/speech/settings.h"
#include "platform/speech/text_codec.h"
#include "platform/speech/voice.h"

using namespace lexavo::sp;
using Clock = std::chrono::steady_clock;

namespace {

const char* kPassage =
    "清晨的阳光透过薄雾洒在小城的石板路上，街角的早点铺已经冒出了热气。老板娘一边招呼客人，一边把刚出锅的油条放进竹篮里。"
    "上学的孩子背着书包跑过巷口，笑声惊起了屋檐下的几只麻雀。河边的柳树垂下新绿的枝条，几位老人在树下打着太极拳，动作缓慢而从容。";

std::string ChineseText(std::size_t characters) {
    const std::u16string passage = Utf8ToUtf16(kPassage);
    std::u16string text;
    while (text.size() < characters) text += passage;
    text.resize(characters);
    return Utf16ToUtf8(text);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Forwards to the real audio output and notes when the first audio is handed over.
class TimingOutput final : public ISpStreamFormat, public IAudioSink, public RefCounted<TimingOutput> {
public:
    explicit TimingOutput(AudioFormat format) : inner_(ComPtr<SpAudioOut>::Adopt(new SpAudioOut(format))) {}
    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == IID_ISpStreamFormat) *ppv = static_cast<ISpStreamFormat*>(this);
        else if (iid == IID_IAudioSink) *ppv = static_cast<IAudioSink*>(this);
        else return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    LEXAVO_IMPLEMENT_REFCOUNT
    HRESULT GetFormat(GUID* id, WAVEFORMATEX** wfx) override { return inner_->GetFormat(id, wfx); }
    AudioFormat SinkFormat() override { return inner_->SinkFormat(); }
    HRESULT BeginUtterance() override { return inner_->BeginUtterance(); }
    HRESULT Write(const std::int16_t* s, std::size_t n) override {
        Clock::time_point none{};
        firstWrite_.compare_exchange_strong(none, Clock::now());
        return inner_->Write(s, n);
    }
    HRESULT EndUtterance(bool cancelled) override { return inner_->EndUtterance(cancelled); }
    void Abort() override { inner_->Abort(); }

    void Reset() { firstWrite_ = Clock::time_point{}; }
    Clock::time_point FirstWrite() const { return firstWrite_; }

private:
    friend class RefCounted<TimingOutput>;
    ~TimingOutput() = default;
    ComPtr<SpAudioOut> inner_;
    std::atomic<Clock::time_point> firstWrite_{};
};

ComPtr<ISpVoice> NewVoice() {
    ComPtr<ISpVoice> voice;
    if (FAILED(CoCreateInstance(CLSID_SpVoice, nullptr, 7, IID_ISpVoice, reinterpret_cast<void**>(voice.Put())))) {
        std::fprintf(stderr, "lexavo-bench: the speech engine did not start\n");
        std::exit(1);
    }
    return voice;
}

AudioFormat VoiceFormat(ISpVoice* voice) {
    ComPtr<ISpStreamFormat> out;
    voice->GetOutputStream(out.Put());
    GUID id;
    WAVEFORMATEX* wfx = nullptr;
    out->GetFormat(&id, &wfx);
    AudioFormat f{wfx->nSamplesPerSec, wfx->nChannels, wfx->wBitsPerSample};
    CoTaskMemFree(wfx);
    return f;
}

// Renders `text` into a wave file through the platform; returns the seconds it took.
double RenderToFile(ISpVoice* voice, const std::string& text, const std::string& path) {
    ComPtr<ISpStreamFormat> previous;
    voice->GetOutputStream(previous.Put());
    GUID id;
    WAVEFORMATEX* wfx = nullptr;
    previous->GetFormat(&id, &wfx);
    ComPtr<ISpStream> stream;
    CoCreateInstance(CLSID_SpStream, nullptr, 7, IID_ISpStream, reinterpret_cast<void**>(stream.Put()));
    const auto start = Clock::now();
    stream->BindToFile(Utf8ToUtf16(path).c_str(), SPFM_CREATE_ALWAYS, &id, wfx, SPFEI_ALL_EVENTS);
    CoTaskMemFree(wfx);
    voice->SetOutput(stream.Get(), TRUE);
    voice->Speak(Utf8ToUtf16(text).c_str(), 0, nullptr);
    voice->SetOutput(previous.Get(), TRUE);
    stream->Close();  // the file is on disk and in its place
    stream.Reset();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// libespeak-ng by itself, synchronous, audio discarded; best of five.
int RawEngineChild(const std::string& text) {
    static std::size_t count;
    espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr, 0);
    espeak_SetSynthCallback([](short*, int n, espeak_EVENT*) {
        count += static_cast<std::size_t>(n > 0 ? n : 0);
        return 0;
    });
    espeak_SetVoiceByName("cmn-latn-pinyin");
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        count = 0;
        const auto start = Clock::now();
        espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("%.6f %zu\n", best, count);
    std::fflush(stdout);
    ::_exit(0);  // espeak_Terminate can hang; the process ends here anyway
}

double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// Runs in a fresh process so that its peak memory is its own.
int RssChild(std::size_t kilobytes) {
    CoInitialize(nullptr);
    auto voice = NewVoice();
    const std::string text = ChineseText(kilobytes * 1024 / 3);
    char path[] = "/tmp/lexavo-bench-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd >= 0) ::close(fd);
    RenderToFile(voice.Get(), text, path);
    std::remove(path);
    std::printf("%.1f\n", PeakRssMb());
    return 0;
}

// Runs this program again with `args` and reads its first line of output.
std::string Child(const char* self, const std::string& args) {
    const std::string cmd = std::string("'") + self + "' " + args;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return {};
    char line[256] = {};
    if (!std::fgets(line, sizeof line, p)) line[0] = 0;
    ::pclose(p);
    return line;
}

double ChildPeakRss(const char* self, std::size_t kilobytes) {
    return std::atof(Child(self, "--rss-child " + std::to_string(kilobytes)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--rss-child") == 0) return RssChild(std::strtoul(argv[2], nullptr, 10));
    if (argc == 2 && std::strcmp(argv[1], "--raw-child") == 0) return RawEngineChild(ChineseText(1200));
    if (argc > 1) {
        std::printf("usage: lexavo-bench\nPrints speed and memory figures of the speech platform.\n");
        return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 1;
    }
    const std::string text1200 = ChineseText(1200);

    // The engine by itself, in a process of its own: the platform owns the library's state here.
    double raw = 0;
    std::size_t rawSamples = 0;
    std::sscanf(Child(argv[0], "--raw-child").c_str(), "%lf %zu", &raw, &rawSamples);

    CoInitialize(nullptr);
    auto voice = NewVoice();
    const AudioFormat format = VoiceFormat(voice.Get());

    // Best of five, each into a new file; removing it is not timed. In memory-backed storage
    // the figure is the platform's own cost; on disk it also shows the machine's write-back.
    const auto bestRender = [&](const std::string& folder) {
        double best = 1e9;
        for (int i = 0; i < 5; ++i) {
            const std::string path = folder + "/lexavo-bench-" + std::to_string(::getpid()) + "-" + std::to_string(i) + ".wav";
            best = std::min(best, RenderToFile(voice.Get(), text1200, path));
            std::remove(path.c_str());
        }
        return best;
    };
    const bool haveShm = ::access("/dev/shm", W_OK) == 0;
    const double platform = bestRender(haveShm ? "/dev/shm" : "/tmp");
    const double platformDisk = bestRender("/tmp");

    auto timing = ComPtr<TimingOutput>::Adopt(new TimingOutput(format));
    voice->SetOutput(static_cast<ISpStreamFormat*>(timing.Get()), TRUE);
    const std::u16string wide = Utf8ToUtf16(text1200);
    std::vector<double> firstAudio, purge;
    bool audioOk = true;
    for (int i = 0; i < 7 && audioOk; ++i) {
        timing->Reset();
        const auto start = Clock::now();
        voice->Speak(wide.c_str(), SPF_ASYNC, nullptr);
        while (timing->FirstWrite() == Clock::time_point{} && Clock::now() - start < std::chrono::seconds(5))
            std::this_thread::yield();
        if (timing->FirstWrite() == Clock::time_point{}) {
            audioOk = false;
            break;
        }
        firstAudio.push_back(Ms(timing->FirstWrite() - start));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto purgeStart = Clock::now();
        voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
        purge.push_back(Ms(Clock::now() - purgeStart));
    }
    voice->SetOutput(nullptr, TRUE);

    if (audioOk) {
        std::printf("first_audio_ms %.3f ms\n", Median(firstAudio));
        std::printf("purge_ms %.3f ms\n", Median(purge));
    } else {
        std::fprintf(stderr, "lexavo-bench: no sound server; audio figures skipped\n");
    }
    std::printf("engine_render_s %.3f s\n", raw);
    std::printf("platform_render_s %.3f s\n", platform);
    std::printf("audio_rendered_s %.1f s\n", double(rawSamples) / format.sampleRate);
    std::printf("render_speed_ratio %.3f ratio\n", raw / platform);
    std::printf("render_speed_ratio_disk %.3f ratio\n", raw / platformDisk);
    voice.Reset();
    CoUninitialize();
    std::printf("render_10kb_peak_rss_mb %.1f MB\n", ChildPeakRss(argv[0], 10));
    std::printf("render_100kb_peak_rss_mb %.1f MB\n", ChildPeakRss(argv[0], 100));
    return audioOk ? 0 : 2;
}
