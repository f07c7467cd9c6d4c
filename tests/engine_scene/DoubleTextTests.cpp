#include "engine/common/DoubleText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

TEST(DoubleTextTest, WritesTheShortestDecimalFormUpTo2To53)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0.0"},
        {1.0, "1.0"},
        {-2.0, "-2.0"},
        {0.25, "0.25"},
        {100000.0, "100000.0"},
        {1e7, "10000000.0"},
        {0.0001, "0.0001"},
        {0.00025, "0.00025"},
        {12.345678, "12.345678"},
        {22.016666666666666, "22.016666666666666"},
        {9007199254740992.0, "9007199254740992.0"},
        // Beyond: an exponent.
        {1e16, "1e+16"},
        {0.00001, "1e-05"},
        {-1.5e-7, "-1.5e-07"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gloam::describeDouble(c.value), c.text) << c.value;
    }
}

TEST(DoubleTextTest, EveryTextReadsBackAsTheSameValue)
{
    for (const double value : {std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                               -std::numeric_limits<double>::min(), 1e300, 0.1 + 0.2, 123456.789, 1e-4}) {
        const std::string text = gloam::describeDouble(value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text; // stod refuses subnormals
    }
    EXPECT_EQ(gloam::describeDouble(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(gloam::describeDouble(-std::numeric_limits<double>::infinity()), "-inf");
}
