// Reading aloud, the rate slider and wave-file generation.
#include "app/main_window.h"
#include "app/program.h"

namespace lexavo::app {

void OnPlayStopClick() {}
void OnRateChange() {}
void OnGenerateClick() {}

}  // namespace lexavo::app
