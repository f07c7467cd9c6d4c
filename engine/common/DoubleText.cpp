#include "engine/common/DoubleText.h"

#include <charconv>
#include <cmath>

namespace gloam {

std::string describeDouble(double value)
{
    // Plain decimal from 0.0001 up to 2^53 (where doubles stop holding
    // every integer); an exponent only beyond. The shortest digits that
    // read back as the same value either way.
    const double magnitude = std::abs(value);
    const bool decimal = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude <= 9007199254740992.0);
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value,
                                      decimal ? std::chars_format::fixed : std::chars_format::scientific);
    std::string written(text, result.ptr);
    if (written.find_first_of(".eni") == std::string::npos) {
        written += ".0";
    }
    return written;
}

} // namespace gloam
