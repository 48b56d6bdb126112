#include "engine/transport/transport.h"

#include <cstdlib>

namespace engine {

size_t MaxMessageBytes() {
    const char* text = std::getenv("QIRLEN_MAX_MESSAGE_BYTES");
    long long v = text ? std::atoll(text) : 0;
    return v > 0 ? static_cast<size_t>(v) : size_t{512} << 20;
}

}  // namespace engine
