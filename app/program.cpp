#include "app/program.h"

#include <cstring>

#include "app/main_window.h"
#include "speech/host.h"

namespace lexavo::app {
namespace {

speech::ETextToSpeech* g_speechObject = nullptr;

void HostFree(void* block) { runtime::Runtime::Current().Free(block); }

}  // namespace

speech::ETextToSpeech* SpeechObject() { return g_speechObject; }

const speech::SpeechClient& Speech() {
    static const speech::SpeechClient client(speech::SpeechCommandTable(), &HostFree);
    return client;
}

runtime::Config ProgramConfig() {
    runtime::Config config;
    config.supportLibraries = {&speech::SpeechLibraryNotify};
    config.definitions = {{kMainWindow, "MainWindow.ui"}};
    config.handlers = {
        {"OnMainWindowCreated", &OnMainWindowCreated}, {"OnUsageNotesClick", &OnUsageNotesClick},
        {"OnPlayStopClick", &OnPlayStopClick},         {"OnRateChange", &OnRateChange},
        {"OnGenerateClick", &OnGenerateClick},
    };
    return config;
}

int StartRoutine() {
    auto& rt = runtime::Runtime::Current();
    auto* record = static_cast<speech::ETextToSpeech*>(rt.Allocate(sizeof(speech::ETextToSpeech)));
    std::memset(record, 0, sizeof *record);
    g_speechObject = record;
    Speech().Construct(record);
    rt.AddExitCallback(&SpeechExitCallback);
    rt.LoadWindow(kMainWindow);
    rt.RunMessageLoop();
    return 0;
}

void SpeechExitCallback() {
    Speech().Destruct(g_speechObject);
    runtime::Runtime::Current().Free(g_speechObject);
}

}  // namespace lexavo::app
