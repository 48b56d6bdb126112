#include "app/startup.h"

#include "app/main_window.h"

namespace app {

ProgramState::ProgramState() = default;
ProgramState::~ProgramState() = default;

// The phone profile comes with the automation layer; until then the window needs nothing here.
void OnMainWindowCreated(MainWindow&) {}

}  // namespace app
