// Stored view numbers the view cannot take, for each layout that can hold one.
#include "persistence/parameter_warnings.h"

#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(ParameterWarnings, NumbersThatAreNoNumbersAreNamed)
{
    constexpr long double kInf = std::numeric_limits<long double>::infinity();
    const std::string tail = ", not a number the view can take: the value it had before loading "
                             "stays (the start-up window's, in a program just started)";

    struct Case
    {
        FileFields fields;
        std::vector<std::string> lines;
    };

    FileFields extended;
    extended.modeWord = 1;
    extended.extended = {-2.0L, kInf, 0.01L, -1.0L, std::numeric_limits<long double>::quiet_NaN(),
                         0.01L};
    FileFields texts;
    texts.layout = FileLayout::Format50;
    texts.modeWord = 2;
    texts.textWidth = 5000;
    texts.texts = {"-1.5", "-1.0", "1.5", "1.0", "0.3", "inf", "", "0.1\n2"};
    FileFields sound = texts;
    sound.texts = {"-1.5", "-1.0", "1.5", "1.0", "0.3", "-0.5e-3", "0.01", "0.01"};

    const Case cases[] = {
        {extended, {"xmax in the file is inf" + tail, "ymax in the file is nan" + tail}},
        {texts,
         {"ci in the file is 'inf'" + tail, "dy in the file is ''" + tail,
          "dx in the file is '0.1?2'" + tail}},
        {sound, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unusableStoredNumbers(c.fields), c.lines);
    }
}

} // namespace
} // namespace qv
