#pragma once

// For test helpers that return what a test goes on to use: ASSERT_* cannot
// end a test from a function that returns a value, and EXPECT_* would let
// the caller dereference a null pointer. `required` ends the test instead,
// with an exception GoogleTest reports as the test's failure.

#include <memory>
#include <stdexcept>
#include <string>

namespace gloam::testing {

template <typename T>
T& required(T* pointer, const std::string& what)
{
    if (pointer == nullptr) {
        throw std::logic_error("the test needs " + what + ", and there is none");
    }
    return *pointer;
}

template <typename T>
const std::shared_ptr<T>& required(const std::shared_ptr<T>& pointer, const std::string& what)
{
    required(pointer.get(), what);
    return pointer;
}

} // namespace gloam::testing
