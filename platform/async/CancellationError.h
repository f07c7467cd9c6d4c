#pragma once

#include <exception>

namespace gloam::async {

// Thrown at a suspension point or checkpoint of a task that has been
// cancelled. It is a type of its own so that callers can tell "this work
// was called off" apart from real failures and stay silent about it.
class CancellationError : public std::exception {
public:
    const char* what() const noexcept override { return "the task was cancelled"; }
};

} // namespace gloam::async
