#pragma once

#include <string>

namespace gloam {

// The shortest text that reads back as the same Double, always with a
// decimal point or an exponent: "4.0", "22.016666666666666", "1e+16". The
// engine's log lines print times and durations this way.
std::string describeDouble(double value);

} // namespace gloam
