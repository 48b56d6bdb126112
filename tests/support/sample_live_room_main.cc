// Serves the sample live rooms until standard input closes; prints the port first.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/sample_live_room.h"

int main(int argc, char** argv) {
    testsupport::SampleLiveRoom room(argc > 1 ? std::atoi(argv[1]) : 0);
    if (room.port() == 0) return 1;
    std::printf("%d\n", room.port());
    std::fflush(stdout);
    char c;
    while (read(0, &c, 1) > 0) {
    }
    return 0;
}
