// The float and double roundings agree with the extended one on every kind of value.
#include "base/round_half_even.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(RoundHalfEven, DoubleAndFloatAgreeWithExtended)
{
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.5,
                                  -0.5,
                                  1.5,
                                  -1.5,
                                  2.5,
                                  -2.5,
                                  0.49999999999999994,
                                  -0.49999999999999994,
                                  1e-310,
                                  -1e-310,
                                  2147483647.0,
                                  2147483647.25,
                                  2147483647.5,
                                  2147483648.0,
                                  -2147483648.0,
                                  -2147483648.25,
                                  -2147483648.5,
                                  -2147483648.75,
                                  -2147483649.0,
                                  4503599627370495.5,
                                  1e300,
                                  -1e300,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    // Every quarter and some irregular fractions over a wide range, both signs.
    for (double x = 0.0; x < 70000.0; x += 0.25) {
        values.push_back(x);
        values.push_back(-x);
        values.push_back(x * 1.0000001);
        values.push_back(-x * 30011.7);
    }
    for (const double v : values) {
        const std::int32_t extended = roundHalfEven(static_cast<long double>(v));
        ASSERT_EQ(roundHalfEven(v), extended) << v;
        const auto f = static_cast<float>(v);
        ASSERT_EQ(roundHalfEven(f), roundHalfEven(static_cast<long double>(f))) << f;
    }
}

} // namespace
} // namespace qv
