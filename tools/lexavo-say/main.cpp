// lexavo-say: list the voices, choose one, and speak a text aloud or into a WAV file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/speech/markup.h"
#include "platform/speech/status.h"
#include "platform/speech/text_file.h"
#include "speech/host.h"
#include "speech/speech_client.h"

namespace {

using namespace lexavo::speech;
namespace sp = lexavo::sp;

constexpr const char* kUsage =
    "usage: lexavo-say --list\n"
    "       lexavo-say [-v DESCRIPTION] [-r RATE] [-m MODE] [-w FILE.wav] [TEXT...]\n"
    "\n"
    "Speaks TEXT (or, when no TEXT is given, standard input) aloud and waits until it is\n"
    "spoken, or renders it into FILE.wav.\n"
    "\n"
    "  --list          print the voice descriptions, one a line, in the order of the voices\n"
    "  -v DESCRIPTION  the voice whose description is exactly DESCRIPTION (as --list shows it);\n"
    "                  without -v the first Chinese voice is used\n"
    "  -r RATE         speaking rate from -10 (about three times slower) to 10 (about three\n"
    "                  times faster); 0 is normal\n"
    "  -m MODE         0 plain text (default), 1 TEXT names a UTF-8 text file to read,\n"
    "                  2 SSML markup, 3 nothing is spoken\n"
    "  -w FILE.wav     write a RIFF/WAVE file instead of playing; an existing file is replaced\n"
    "                  once the new one is complete, and stays as it was on any failure\n"
    "  -h, --help      this text\n"
    "\n"
    "Voices are the files in voices/ beside this program. The exit status is 0 on success\n"
    "and 1 when a voice, rate, mode or file cannot be used or speaking fails.\n";

// The host services the speech layer asks for: memory, and no windows.
std::intptr_t Host(std::int32_t code, std::intptr_t p1, std::intptr_t) {
    if (code == kHostAllocate) {
        void* block = std::malloc(static_cast<std::size_t>(p1) ? static_cast<std::size_t>(p1) : 1);
        if (!block) {
            std::fputs("lexavo-say: out of memory\n", stderr);
            std::exit(1);
        }
        return reinterpret_cast<std::intptr_t>(block);
    }
    return 0;
}

int Fail(const std::string& message) {
    std::cerr << "lexavo-say: " << message << "\n";
    return 1;
}

std::optional<int> ParseInt(const char* text) {
    if (!text || !*text) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (*end || errno == ERANGE || v < -1000000 || v > 1000000) return std::nullopt;
    return static_cast<int>(v);
}

// The fault in the input of modes 1 and 2, named before anything is spoken or written.
std::optional<std::string> InputFault(int mode, const std::string& text) {
    if (mode == 1) {
        if (const sp::HRESULT hr = sp::CheckTextFile(text); sp::FAILED(hr))
            return "cannot read the text file " + text + ": " + sp::StatusMessage(hr);
    } else if (mode == 2) {
        const sp::HRESULT hr = sp::ValidateMarkup(text);
        if (hr == sp::ToHresult(sp::Status::MalformedMarkup)) return "the markup is malformed";
        if (sp::FAILED(hr)) return sp::StatusMessage(hr);
    }
    return std::nullopt;
}

// Frees the record after Destruct, whatever path main takes.
struct SpeechObject {
    const SpeechClient& client;
    ETextToSpeech record{nullptr, 0};
    explicit SpeechObject(const SpeechClient& c) : client(c) { client.Construct(&record); }
    ~SpeechObject() { client.Destruct(&record); }
};

int Run(int argc, char** argv) {
    bool list = false;
    std::optional<std::string> voice, file;
    int rate = 0, mode = 0;
    bool rateGiven = false;
    std::vector<std::string> words;  // the text, when given on the command line
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "-v") {
            const char* v = value();
            if (!v) return Fail("-v needs a voice description");
            voice = v;
        } else if (arg == "-r") {
            const char* v = value();
            const auto r = ParseInt(v);
            if (!v) return Fail("-r needs a rate");
            if (!r || *r < -10 || *r > 10) return Fail(std::string("rate must be a whole number from -10 to 10: ") + v);
            rate = *r;
            rateGiven = true;
        } else if (arg == "-m") {
            const char* v = value();
            const auto m = ParseInt(v);
            if (!v) return Fail("-m needs a mode");
            if (!m || *m < 0 || *m > 3) return Fail(std::string("mode must be 0, 1, 2 or 3: ") + v);
            mode = *m;
        } else if (arg == "-w") {
            const char* v = value();
            if (!v) return Fail("-w needs a file name");
            file = v;
        } else if (arg == "--") {
            while (++i < argc) words.emplace_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option " + arg + " (see --help)");
        } else {
            words.push_back(arg);
        }
    }

    SpeechLibraryNotify(kLibraryStart, reinterpret_cast<std::intptr_t>(&Host), 0);
    const SpeechClient client(SpeechCommandTable(), &std::free);
    SpeechObject speech(client);
    if (!client.IsInitialized(&speech.record)) return Fail("the speech engine is not available");

    if (list) {
        const VoiceNames names = client.GetVoiceNames(&speech.record);
        for (std::int32_t i = 0; i < names.Count(); ++i) std::printf("%s\n", names.At(i) ? names.At(i) : "");
        return 0;
    }
    if (voice && !client.SelectVoice(&speech.record, voice->c_str()))
        return Fail("no voice named \"" + *voice + "\" (see --list)");
    if (rateGiven && !client.SetRate(&speech.record, rate)) return Fail("the rate could not be set");
    std::string text;
    if (words.empty()) {
        // Bounded like a text file: more would be days of speech, and memory is not.
        char buf[64 * 1024];
        while (std::cin.read(buf, sizeof buf) || std::cin.gcount() > 0) {
            text.append(buf, static_cast<std::size_t>(std::cin.gcount()));
            if (text.size() > sp::kMaxTextFileBytes) return Fail("standard input is larger than 32 MiB");
        }
    } else {
        for (const auto& word : words) {
            if (!text.empty()) text += ' ';
            text += word;
        }
    }

    if (const auto fault = InputFault(mode, text)) return Fail(*fault + (file ? "; " + *file + " was not written" : ""));
    if (file) {
        if (!client.SpeakToFile(&speech.record, mode, text.c_str(), file->c_str()))
            return Fail(*file + " was not written: " + sp::StatusMessage(client.LastResult(&speech.record)));
        return 0;
    }
    if (!client.Speak(&speech.record, mode, text.c_str(), -1) || sp::FAILED(client.LastResult(&speech.record)))
        return Fail("speaking failed: " + sp::StatusMessage(client.LastResult(&speech.record)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const SpeechError& e) {
        return Fail(sp::StatusMessage(e.Result()));
    } catch (const std::bad_alloc&) {
        return Fail(sp::StatusMessage(sp::E_OUTOFMEMORY));
    }
}
