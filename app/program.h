// The program: its run-time configuration, start routine, exit callback and handlers.
#pragma once

#include "platform/runtime/runtime.h"
#include "speech/speech_client.h"

namespace lexavo::app {

// Libraries, window definitions and handlers of the program.
runtime::Config ProgramConfig();

// Creates the speech object, loads MainWindow and runs the message loop.
int StartRoutine();
// Destructs the speech object and frees its record.
void SpeechExitCallback();

// The one speech object of the process and the client that enters its operations.
speech::ETextToSpeech* SpeechObject();
const speech::SpeechClient& Speech();

void OnMainWindowCreated();
void OnUsageNotesClick();
void OnPlayStopClick();
void OnRateChange();
void OnGenerateClick();

}  // namespace lexavo::app
