#pragma once

#include <string>

namespace gloam {

// The shortest text that reads back as the same Double, always with a
// decimal point or an exponent: plain decimal from 0.0001 to 2^53 ("4.0",
// "100000.0", "0.0001", "22.016666666666666"), an exponent beyond ("1e+16",
// "1e-05"). The engine's log lines print times and durations this way.
std::string describeDouble(double value);

} // namespace gloam
