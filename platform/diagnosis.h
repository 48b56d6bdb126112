#pragma once
// Why an operation of the automation library gave its empty result, where the result alone
// cannot say (a misspelled locator kind, a rendering that never answered): told on stderr to
// whoever diagnoses the program, while QIRLEN_PROTOCOL_LOG (the switch that also logs the
// engine's protocol) is set. The switch is read at each report, so a program may turn it on
// for a stretch of its run.
#include <string_view>

namespace platform {

// One line, timed like the engine's protocol log and marked "!!"; longer texts are cut.
void ReportDiagnosis(std::string_view text);

}  // namespace platform
