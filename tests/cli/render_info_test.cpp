// quorvalis-render --info on each kind of parameter file, written by the windowed program's
// own savers: the stored values, in order, each in a form that reads back exactly.
#include "base/number_text.h"
#include "persistence/parameter_files.h"
#include "tests/cli/cli_test_support.h"
#include "tests/cli/program_runner.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

std::string textOf(const ViewNumber& number)
{
    std::string text;
    mpfToText(number.mp(), text);
    return text;
}

/// The --info text of a saved state, with the view numbers as the state holds them.
std::string expectedInfo(const AppState& app, const std::string& scalars)
{
    const ViewState& v = app.view;
    std::string text = scalars;
    if (isMandelbrot(v)) {
        text += "xmin: " + textOf(v.mandelbrot.xmin) + "\nxmax: " + textOf(v.mandelbrot.xmax) +
                "\nymin: " + textOf(v.mandelbrot.ymin) + "\nymax: " + textOf(v.mandelbrot.ymax) +
                "\n";
    } else {
        text += "xmin: " + textOf(v.julia.xmin) + "\nxmax: " + textOf(v.julia.xmax) +
                "\nymin: " + textOf(v.julia.ymin) + "\nymax: " + textOf(v.julia.ymax) +
                "\ncr: " + textOf(v.julia.cr) + "\nci: " + textOf(v.julia.ci) + "\n";
    }
    return text;
}

TEST(RenderInfo, AStandardFileShowsItsStoredValues)
{
    TempFolder folder;
    const std::string path = folder.file("view.fra");
    {
        GuiSession maker;
        ViewState& view = maker.app.view;
        setDrawingMode(view.modeWord, 3);
        view.iterMax = 321;
        view.bailout = 64.5;
        view.potValue = 0.0009765625;
        maker.app.settings.colourFlags = 5;
        maker.app.paletteState.options.hsl = true;
        maker.app.paletteState.parameters = {
            {12.5f, 164.0f, 127.0f}, {1.25f, 1.0f, 0.75f}, {245.0f, 172.0f, 200.5f}};
        maker.app.paletteState.paletteOffset = 17;
        maker.typeWindow("-0.75", "0.25", "-0.375", "0.375");
        ASSERT_TRUE(saveStandardFile(maker.app, maker.pictures, path));
    }
    const ProgramResult r = runRenderer({path, "--info"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "type: Mandelbrot\n"
                     "mode: 3\n"
                     "iterMax: 321\n"
                     "bailout: 64.5\n"
                     "potValue: 0.0009765625\n"
                     "colourFlags: 21\n"
                     "deepZoom: 0\n"
                     "precisionBits: 96\n"
                     "deepLimit: -3\n"
                     "size: 640x480\n"
                     "xmin: -7.5e-1\n"
                     "xmax: 2.5e-1\n"
                     "ymin: -3.75e-1\n"
                     "ymax: 3.75e-1\n"
                     "palette: 12.5 164 127 1.25 1 0.75 245 172 200.5\n"
                     "paletteOffset: 17\n");

    // Options apply after the file; what they leave stays as stored.
    const ProgramResult changed =
        runRenderer({"--iter", "999", path, "--mode", "28", "--bailout", "2.5", "--info"});
    ASSERT_EQ(changed.exitStatus, 0) << changed.err;
    const auto info = infoMap(changed.out);
    EXPECT_EQ(info.at("iterMax"), "999");
    EXPECT_EQ(info.at("mode"), "28");
    EXPECT_EQ(info.at("bailout"), "2.5");
    EXPECT_EQ(info.at("paletteOffset"), "17");
    EXPECT_EQ(info.at("xmax"), "2.5e-1");
}

TEST(RenderInfo, ADeepFileShowsEveryDigitAtItsStoredPrecision)
{
    TempFolder folder;
    const std::string path = folder.file("view.fdz");
    // 1e-40 wide: a pixel step of 1.5625e-43 needs 160 bits.
    const std::string xmax = "0.1" + std::string(38, '0') + "1";
    const std::string ymax = "0.2" + std::string(39, '0') + "75";
    GuiSession maker;
    maker.app.view.iterMax = 5000;
    maker.app.view.bailout = 1e39;
    maker.typeWindow("0.1", xmax, "0.2", ymax);
    ASSERT_EQ(maker.app.view.deepZoom, 1);
    ASSERT_EQ(maker.app.view.precisionBits, 160);
    ASSERT_TRUE(saveDeepFile(maker.app, maker.pictures, path));

    const ProgramResult r = runRenderer({path, "--info"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const auto lines = infoLines(r.out);
    ASSERT_EQ(lines.size(), 16u) << r.out;
    EXPECT_EQ(lines[3].first, "bailout");
    EXPECT_EQ(std::strtod(lines[3].second.c_str(), nullptr), 1e39);
    std::string printed = r.out;
    printed.replace(printed.find(lines[3].second), lines[3].second.size(), "B");
    EXPECT_EQ(printed, expectedInfo(maker.app, "type: Mandelbrot\n"
                                               "mode: 1\n"
                                               "iterMax: 5000\n"
                                               "bailout: B\n"
                                               "potValue: 0.0001\n"
                                               "colourFlags: 4\n"
                                               "deepZoom: 1\n"
                                               "precisionBits: 160\n"
                                               "deepLimit: -43\n"
                                               "size: 640x480\n") +
                           "palette: 12 164 127 1 1 1 245 172 200\n"
                           "paletteOffset: 0\n");
    EXPECT_EQ(infoMap(r.out).at("xmax").rfind("1." + std::string(38, '0') + "1", 0), 0u) << r.out;
}

TEST(RenderInfo, AStandardFileWithImageShowsItsJuliaViewAndPictureSize)
{
    TempFolder folder;
    const std::string path = folder.file("view.fpi");
    {
        GuiSession maker;
        maker.setRenderedSize(24, 16);
        setDrawingMode(maker.app.view.modeWord, 5);
        maker.app.view.iterMax = 250;
        maker.app.view.bailout = 4.0;
        maker.app.settings.colourFlags = 7;
        maker.app.paletteState.paletteOffset = -3;
        maker.typeJulia("-0.75", "0.125", "-1.5", "1.5", "-1.25", "1.25");
        ASSERT_TRUE(
            saveStandardFileWithImage(maker.app, maker.shell.observer, maker.pictures, path));
    }
    const ProgramResult r = runRenderer({path, "--info"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "type: Julia\n"
                     "mode: 5\n"
                     "iterMax: 250\n"
                     "bailout: 4\n"
                     "potValue: 0.0001\n"
                     "colourFlags: 7\n"
                     "deepZoom: 0\n"
                     "precisionBits: 96\n"
                     "deepLimit: -1\n"
                     "size: 24x16\n"
                     "xmin: -1.5e0\n"
                     "xmax: 1.5e0\n"
                     "ymin: -1.25e0\n"
                     "ymax: 1.25e0\n"
                     "cr: -7.5e-1\n"
                     "ci: 1.25e-1\n"
                     "palette: 12 164 127 1 1 1 245 172 200\n"
                     "paletteOffset: -3\n");
}

TEST(RenderInfo, ADeepFileWithImageShowsItsJuliaViewAndPictureSize)
{
    TempFolder folder;
    const std::string path = folder.file("view.fpz");
    GuiSession maker;
    maker.setRenderedSize(20, 10);
    setDrawingMode(maker.app.view.modeWord, 2);
    maker.app.view.iterMax = 700;
    maker.app.paletteState.paletteOffset = 5;
    // Julia views go deep seven decades early: a step of 1.5e-13 is deep.
    maker.typeJulia("-0.75", "0.1", "-0.5", "-0.499999999997", "0.3", "0.3000000000015");
    ASSERT_EQ(maker.app.view.deepZoom, 1);
    ASSERT_TRUE(saveDeepFileWithImage(maker.app, maker.pictures, path));

    const ProgramResult r = runRenderer({path, "--info"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, expectedInfo(maker.app, "type: Julia\n"
                                             "mode: 2\n"
                                             "iterMax: 700\n"
                                             "bailout: 128\n"
                                             "potValue: 0.0001\n"
                                             "colourFlags: 4\n"
                                             "deepZoom: 1\n"
                                             "precisionBits: 96\n"
                                             "deepLimit: -13\n"
                                             "size: 20x10\n") +
                         "palette: 12 164 127 1 1 1 245 172 200\n"
                         "paletteOffset: 5\n");
    EXPECT_EQ(infoMap(r.out).at("xmax"), "-4.99999999997e-1");
}

} // namespace
} // namespace qv::test
