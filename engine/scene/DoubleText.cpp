#include "engine/scene/DoubleText.h"

#include <charconv>

namespace gloam {

std::string describeDouble(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    std::string written(text, result.ptr);
    if (written.find_first_of(".eni") == std::string::npos) {
        written += ".0";
    }
    return written;
}

} // namespace gloam
