// The command line of the headless renderer: every option and its value forms, the ranges,
// and the one-line reasons for refusing a command line.
#include "cli/options.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv::cli {
namespace {

Options parsed(std::vector<std::string> arguments)
{
    const ParseResult r = parseArguments(arguments);
    EXPECT_TRUE(r.options.has_value()) << r.error;
    return r.options.value_or(Options{});
}

TEST(RenderOptions, NothingGivenRendersTheStartView)
{
    const Options o = parsed({});
    EXPECT_TRUE(o.parameterFile.empty());
    EXPECT_FALSE(o.size || o.threads || o.iterMax || o.mode || o.bailout || o.mandelbrot ||
                 o.julia);
    EXPECT_FALSE(o.info || o.quiet || o.help || o.version);
    EXPECT_TRUE(o.renders());
}

TEST(RenderOptions, EveryOptionTakesItsValue)
{
    const Options o =
        parsed({"view.fdz",  "-o",        "pic.png",   "--raw",  "r.qvr", "--info",     "--size",
                "320x200",   "--threads", "3",         "--iter", "5000",  "--mode",     "28",
                "--bailout", "1e39",      "--palette", "p.pal",  "-q",    "--fast-deep"});
    EXPECT_EQ(o.parameterFile, "view.fdz");
    EXPECT_EQ(o.output, "pic.png");
    EXPECT_EQ(o.raw, "r.qvr");
    EXPECT_TRUE(o.info);
    ASSERT_TRUE(o.size);
    EXPECT_EQ(o.size->width, 320);
    EXPECT_EQ(o.size->height, 200);
    EXPECT_EQ(o.threads, 3);
    EXPECT_EQ(o.iterMax, 5000);
    EXPECT_EQ(o.mode, 28);
    EXPECT_EQ(o.bailout, 1e39);
    EXPECT_EQ(o.palette, "p.pal");
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.fastDeep);
    EXPECT_TRUE(o.renders());
}

TEST(RenderOptions, LongOptionsTakeTheirValueAfterAnEqualsSign)
{
    const Options o =
        parsed({"--output=a.jpg", "--size=16384x1", "--threads=64", "--iter=3", "--mode=1"});
    EXPECT_EQ(o.output, "a.jpg");
    EXPECT_EQ(o.size->width, 16384);
    EXPECT_EQ(o.size->height, 1);
    EXPECT_EQ(o.threads, 64);
    EXPECT_EQ(o.iterMax, 3);
    EXPECT_EQ(o.mode, 1);
}

TEST(RenderOptions, InfoAloneRendersNothing)
{
    EXPECT_FALSE(parsed({"--info"}).renders());
    EXPECT_TRUE(parsed({"--info", "-o", "x.png"}).renders());
    EXPECT_TRUE(parsed({"--info", "--raw", "x.raw"}).renders());
}

TEST(RenderOptions, WindowNumbersAreKeptAsTypedWithAllTheirDigits)
{
    const std::string longDigits =
        "-0.74364388703715870475219150611477190123456789012345678901234567890";
    const Options o = parsed(
        {"--mandelbrot", longDigits, "-0.7436438870371587047521915061147", "-1.5e-3", "+.25E+1"});
    ASSERT_TRUE(o.mandelbrot);
    EXPECT_EQ(o.mandelbrot->xmin, longDigits);
    EXPECT_EQ(o.mandelbrot->xmax, "-0.7436438870371587047521915061147");
    EXPECT_EQ(o.mandelbrot->ymin, "-1.5e-3");
    EXPECT_EQ(o.mandelbrot->ymax, "+.25E+1");
    // Negative window numbers are values, not options, and do not end up as the file.
    EXPECT_TRUE(o.parameterFile.empty());
}

TEST(RenderOptions, JuliaTakesItsWindowOnlyWhenNumbersFollow)
{
    const Options plain = parsed({"--julia", "-0.8", "0.156", "view.fra"});
    ASSERT_TRUE(plain.julia);
    EXPECT_EQ(plain.julia->cr, "-0.8");
    EXPECT_EQ(plain.julia->ci, "0.156");
    EXPECT_FALSE(plain.julia->window);
    EXPECT_EQ(plain.parameterFile, "view.fra");

    const Options windowed = parsed({"--julia", "-0.8", "0.156", "-1", "1", "-0.5", "0.5", "-q"});
    ASSERT_TRUE(windowed.julia && windowed.julia->window);
    EXPECT_EQ(windowed.julia->window->xmin, "-1");
    EXPECT_EQ(windowed.julia->window->xmax, "1");
    EXPECT_EQ(windowed.julia->window->ymin, "-0.5");
    EXPECT_EQ(windowed.julia->window->ymax, "0.5");
    EXPECT_TRUE(windowed.quiet);
}

TEST(RenderOptions, DoubleDashEndsTheOptions)
{
    EXPECT_EQ(parsed({"--", "-odd name.fra"}).parameterFile, "-odd name.fra");
    EXPECT_EQ(parsed({"--info", "--", "--info"}).parameterFile, "--info");
}

TEST(RenderOptions, HelpAndVersionAreFlags)
{
    EXPECT_TRUE(parsed({"-h"}).help);
    EXPECT_TRUE(parsed({"--help"}).help);
    EXPECT_TRUE(parsed({"--version"}).version);
    const std::string help = helpText();
    for (const char* option :
         {"--output", "--raw", "--info", "--size", "--threads", "--iter", "--mode", "--bailout",
          "--mandelbrot", "--julia", "--palette", "--quiet", "--help", "--version"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(RenderOptions, BoundaryValuesAreAccepted)
{
    EXPECT_EQ(parsed({"--size", "1x1"}).size->width, 1);
    EXPECT_EQ(parsed({"--size", "16384X16384"}).size->height, 16384);
    EXPECT_EQ(parsed({"--threads", "1"}).threads, 1);
    EXPECT_EQ(parsed({"--iter", "2147483647"}).iterMax, 2147483647);
    EXPECT_EQ(parsed({"--bailout", "1e-300"}).bailout, 1e-300);
    EXPECT_EQ(parsed({"--bailout", "1.7976931348623157e308"}).bailout, 1.7976931348623157e308);
    EXPECT_EQ(parsed({"-o", "deep.TIFF"}).output, "deep.TIFF");
}

TEST(RenderOptions, WrongCommandLinesAreRefusedWithTheirReason)
{
    const struct
    {
        std::vector<std::string> arguments;
        std::string reason;
    } cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-o"}, "option '-o' needs a value"},
        {{"--size"}, "option '--size' needs a value"},
        {{"a.fra", "b.fra"}, "more than one parameter file: 'a.fra' and 'b.fra'"},
        {{"--info=yes"}, "option '--info' takes no value"},
        {{"--size", "640"}, "--size: '640' is not of the form WxH"},
        {{"--size", "0x10"}, "--size: 0 is out of range (1 to 16384 pixels each way)"},
        {{"--size", "10x16385"}, "--size: 16385 is out of range (1 to 16384 pixels each way)"},
        {{"--size", "10x-5"}, "--size: -5 is out of range (1 to 16384 pixels each way)"},
        {{"--size", "axb"}, "--size: 'a' is not a whole number"},
        {{"--threads", "0"}, "--threads: 0 is out of range (1 to 64)"},
        {{"--threads", "65"}, "--threads: 65 is out of range (1 to 64)"},
        {{"--threads", "2.5"}, "--threads: '2.5' is not a whole number"},
        {{"--iter", "2"}, "--iter: 2 is out of range (3 or more)"},
        {{"--iter", "2147483648"}, "--iter: 2147483648 is out of range (3 or more)"},
        {{"--iter", "99999999999999999999999"},
         "--iter: 99999999999999999999999 is out of range (3 or more)"},
        {{"--iter", "12abc"}, "--iter: '12abc' is not a whole number"},
        {{"--iter", ""}, "--iter: '' is not a whole number"},
        {{"--mode", "0"}, "--mode: 0 is out of range (1 to 28)"},
        {{"--mode", "29"}, "--mode: 29 is out of range (1 to 28)"},
        {{"--bailout", "0"}, "--bailout: 0 is out of range (a positive number a double holds)"},
        {{"--bailout", "-4"}, "--bailout: -4 is out of range (a positive number a double holds)"},
        {{"--bailout", "1e400"},
         "--bailout: 1e400 is out of range (a positive number a double holds)"},
        {{"--bailout", "inf"}, "--bailout: inf is out of range (a positive number a double holds)"},
        {{"--bailout", "4x"}, "--bailout: '4x' is not a number"},
        {{"--mandelbrot", "-2", "1", "a", "1"}, "--mandelbrot: 'a' is not a number"},
        {{"--mandelbrot", "-2", "1", "-1"}, "option '--mandelbrot' needs a value"},
        {{"--mandelbrot", "0.5", "5e-1", "-1", "1"},
         "--mandelbrot: the window has no width (XMIN equals XMAX)"},
        {{"--mandelbrot", "-1", "1", "0", "-0.0e7"},
         "--mandelbrot: the window has no height (YMIN equals YMAX)"},
        {{"--julia", "0.1"}, "option '--julia' needs a value"},
        {{"--julia", "0.1", "0.2", "-1", "1"}, "option '--julia' needs a value"},
        {{"--julia", "0.1", "i"}, "--julia: 'i' is not a number"},
        {{"--mandelbrot", "-2", "1", "-1", "1", "--julia", "0", "0"},
         "--mandelbrot and --julia cannot be given together"},
        {{"-o", "picture"},
         "-o: 'picture' names no picture format that can be written (use .png, .jpg, .bmp or "
         ".tif)"},
        {{"--output", "x.dib"},
         "--output: 'x.dib' names no picture format that can be written (use .png, .jpg, .bmp "
         "or .tif)"},
        {{"-o", "my.pics/picture"},
         "-o: 'my.pics/picture' names no picture format that can be written (use .png, .jpg, "
         ".bmp or .tif)"},
        {{"--raw", ""}, "--raw: the file name is empty"},
        {{"--palette="}, "--palette: the file name is empty"},
    };

    for (const auto& c : cases) {
        const ParseResult r = parseArguments(c.arguments);
        EXPECT_FALSE(r.options.has_value()) << c.reason;
        EXPECT_EQ(r.error, c.reason);
    }
}

TEST(RenderOptions, TheLastOfARepeatedOptionCounts)
{
    const Options o = parsed({"--iter", "50", "--iter", "70", "-o", "a.png", "-o", "b.bmp"});
    EXPECT_EQ(o.iterMax, 70);
    EXPECT_EQ(o.output, "b.bmp");
}

} // namespace
} // namespace qv::cli
