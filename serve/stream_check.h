#pragma once
// Asks the CDN whether it still serves a stream: a GET of its playlist that reads the
// answer's status line and headers only, within a time bound. Only addresses that passed the
// program's address checks are asked.
#include <chrono>
#include <string>

namespace serve {

bool StreamAnswers(const std::string& address,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace serve
