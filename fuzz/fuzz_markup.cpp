// Markup from anywhere through the markup check and, when the check lets it pass, through the
// engine's own markup reading: no crash, no process, no file.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/speech/espeak_engine.h"
#include "platform/speech/markup.h"
#include "platform/speech/settings.h"

namespace {

struct Discard final : lexavo::sp::EspeakAdapter::Consumer {
    std::size_t samples = 0;
    bool Consume(const std::int16_t*, std::size_t n) override {
        samples += n;
        return samples < 22050 * 30;  // a piece of markup is bounded; stop long renders early
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    lexavo::sp::EspeakEngine engine;  // starts the library once
    return engine.Status() == lexavo::sp::S_OK ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lexavo::sp;
    const std::string_view markup(reinterpret_cast<const char*>(data), size);
    auto& adapter = EspeakAdapter::Instance();
    const HRESULT hr = ValidateMarkup(markup, [&](std::string_view name) { return adapter.KnowsVoice(name); });
    if (FAILED(hr)) return 0;
    Discard audio;
    adapter.Synthesize(std::string(markup), true, "en", 175, audio);
    return 0;
}
