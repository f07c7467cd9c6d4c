#include "saver/SaverGeometry.h"

#include <cmath>
#include <cstdio>

namespace gloam::saver {

namespace {

// A decimal number that always shows a fraction: 1512 -> "1512.0",
// 0.5 -> "0.5", 2.25 -> "2.25".
std::string decimal(double value)
{
    if (!std::isfinite(value)) {
        return value != value ? "nan" : (value > 0 ? "inf" : "-inf");
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    std::string result = text;
    if (result.find_first_of(".e") == std::string::npos) {
        result += ".0";
    }
    return result;
}

} // namespace

std::string describe(SaverSize size)
{
    return "(" + decimal(size.width) + ", " + decimal(size.height) + ")";
}

std::string describeScale(double scale)
{
    return decimal(scale);
}

} // namespace gloam::saver
