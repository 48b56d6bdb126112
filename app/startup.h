#pragma once
// What the program sets up before its window exists and takes down after it is gone, and
// the handler that runs when the window has been created.

namespace app {

class MainWindow;

// Module-wide state of the program's run; one instance lives for the whole run.
class ProgramState {
public:
    ProgramState();
    ~ProgramState();
};

// Runs once when the window and its controls exist, before the window is shown.
void OnMainWindowCreated(MainWindow& window);

}  // namespace app
