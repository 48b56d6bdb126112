#pragma once

namespace serve {

// `qirlen serve ARGS...` (the arguments after "serve"): the exit status once it has ended.
int RunServe(int argc, char** argv);

}  // namespace serve
