#include "tests/app/program_under_test.h"

#include <QTimer>

namespace lexavo::test {

runtime::Config ProgramConfigWith(Scenario scenario) {
    runtime::Config config = app::ProgramConfig();
    config.handlers["OnMainWindowCreated"] = [scenario] {
        if (scenario.beforeCreated) scenario.beforeCreated();
        app::OnMainWindowCreated();
        QTimer::singleShot(scenario.delayMs, [scenario] {
            if (scenario.afterShown) scenario.afterShown();
            if (QWidget* w = runtime::Runtime::Current().Widget(app::kMainWindow, 0)) w->close();
        });
    };
    return config;
}

int RunProgramUnderTest(runtime::Config config, runtime::StartRoutine start) {
    static char name[] = "lexavo";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    return runtime::RunProgram(argc, argv, std::move(config), start);
}

std::string CaptionOf(std::int32_t id) {
    const auto text = runtime::Runtime::Current().GetText(app::kMainWindow, id, app::kCaption);
    return text ? text.get() : "<absent>";
}

}  // namespace lexavo::test
