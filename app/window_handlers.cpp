// The handlers of MainWindow itself and of the usage-notes button.
#include "app/main_window.h"
#include "app/program.h"

namespace lexavo::app {

void OnMainWindowCreated() {
    auto& rt = runtime::Runtime::Current();
    if (!Speech().IsInitialized(SpeechObject())) {
        rt.ShowMessage("失败！通常是因为没有安装 MS Speech SDK 5.1");
        return;
    }
    const speech::VoiceNames voices = Speech().GetVoiceNames(SpeechObject());
    const std::int32_t n = voices.Count();
    for (std::int32_t i = 1; i <= n; ++i) {
        rt.CheckIndex(i - 1, n);
        const char* description = voices.At(i - 1);
        rt.Command(kMainWindow, kVoiceCombo, controls::kAddEntry,
                   {kVoiceCombo, -1, 0, 0, 0, std::string(description ? description : ""), 0, 40});
    }
    rt.SetNumber(kMainWindow, kVoiceCombo, kSelectedIndex, 0);
}

void OnUsageNotesClick() {
    auto& rt = runtime::Runtime::Current();
    const std::string path = rt.RunDirectory() + "/使用说明.txt";
    rt.ShellOpen(path);
}

}  // namespace lexavo::app
