#include "app/program.h"

int main(int argc, char** argv) {
    return lexavo::runtime::RunProgram(argc, argv, lexavo::app::ProgramConfig(), &lexavo::app::StartRoutine);
}
