#pragma once
// The transports alone, below the engine: a page hands over a burst of big texts through a
// binding, and the host takes them off the transport without reading them as JSON. What is
// left is the browser's sending and the transport's receiving.
#include <string>

#include "engine/transport/transport.h"

namespace bench {

struct BurstTiming {
    double wallMs = -1;    // from the script's start to the last text taken in
    double hostCpuMs = 0;  // this process's CPU time meanwhile (user + system)
    size_t bytes = 0;
};

// Opens a page on `transport` (a browser that answers already), and times `count` texts of
// `megabytes` MB sent through a binding in one run; wallMs stays negative when one was missed.
BurstTiming TimeBurst(engine::Transport& transport, int count, int megabytes);

}  // namespace bench
