// Reading aloud, the rate slider and wave-file generation.
#include <cstring>

#include "app/date_time_text.h"
#include "app/main_window.h"
#include "app/program.h"

namespace lexavo::app {
namespace {

using runtime::Runtime;

// Byte-exact equality up to and including the terminator; an absent text equals only "".
bool SameText(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

const char* OrEmpty(const runtime::HostText& text) { return text ? text.get() : ""; }

}  // namespace

void OnPlayStopClick() {
    auto& rt = Runtime::Current();
    const bool idle = SameText(rt.GetText(kMainWindow, kPlayButton, kCaption).get(), "播放");
    if (idle) {
        rt.SetText(kMainWindow, kPlayButton, kCaption, "停止");
        const runtime::HostText voice = rt.GetText(kMainWindow, kVoiceCombo, kCurrentText);
        if (Speech().SelectVoice(SpeechObject(), OrEmpty(voice))) {
            const runtime::HostText text = rt.GetText(kMainWindow, kTextBox, kText);
            Speech().Speak(SpeechObject(), speech::kModePlainText, OrEmpty(text));
        }
        return;
    }
    if (SameText(rt.GetText(kMainWindow, kPlayButton, kCaption).get(), "停止")) {
        rt.SetText(kMainWindow, kPlayButton, kCaption, "播放");
        Speech().Stop(SpeechObject());
    }
}

void OnRateChange() {
    auto& rt = Runtime::Current();
    const std::int32_t position = rt.GetNumber(kMainWindow, kRateSlider, kPosition);
    rt.SetText(kMainWindow, kRateLabel, kCaption, "语速" + Runtime::NumberText(position));
    // Truncated toward zero, never rounded: -15 gives -1.
    const auto rate = static_cast<std::int64_t>(rt.GetNumber(kMainWindow, kRateSlider, kPosition) / 10.0);
    Speech().SetRate(SpeechObject(), static_cast<std::int32_t>(static_cast<std::uint32_t>(rate)));
}

void OnGenerateClick() {
    auto& rt = Runtime::Current();
    const std::string soundFolder = rt.RunDirectory() + "/sound";
    if (!rt.PathExists(soundFolder)) rt.CreateFolder(soundFolder);
    const std::string fileName = DateTimeText(rt.LocalNow()) + ".WAV";
    rt.SetNumber(kMainWindow, kGenerateButton, kDisabledState, 1);
    const std::string target = rt.RunDirectory() + "/sound/" + fileName;
    const runtime::HostText text = rt.GetText(kMainWindow, kTextBox, kText);
    if (Speech().SpeakToFile(SpeechObject(), speech::kModePlainText, OrEmpty(text), target.c_str())) {
        rt.SetText(kMainWindow, kStatusLine, kCaption, "生成成功：" + target);
        rt.ShowMessage("生成成功");
        rt.ShellOpen(rt.RunDirectory() + "/sound/");
    } else {
        rt.ShowMessage("生成失败!");
    }
    rt.SetNumber(kMainWindow, kGenerateButton, kDisabledState, 0);
}

}  // namespace lexavo::app
