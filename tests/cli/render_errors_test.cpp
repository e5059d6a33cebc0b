// quorvalis-render refusing its work: every problem is one line naming it, the status tells
// a file problem (2) from a wrong command line (64), and nothing is written.
#include "cli/options.h"
#include "persistence/parameter_files.h"
#include "tests/cli/cli_test_support.h"
#include "tests/cli/program_runner.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

struct ErrorCase
{
    std::vector<std::string> arguments;
    int status;
    std::string message;
};

/// Runs each case with an existing output file and a raw file beside it: the message is the
/// only thing on stderr, nothing on stdout, and neither file changes.
void expectRefusals(const TempFolder& folder, const std::vector<ErrorCase>& cases)
{
    const std::string picture = folder.file("kept.png");
    const std::string raw = folder.file("kept.qvr");
    writeBytes(picture, {'o', 'l', 'd'});
    for (const ErrorCase& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        const auto given = [&arguments](const char* option) {
            return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
        };
        if (!given("--raw")) {
            arguments.insert(arguments.end(), {"--raw", raw});
        }
        if (!given("-o")) {
            arguments.insert(arguments.end(), {"-o", picture});
        }
        const ProgramResult r = runRenderer(arguments);
        EXPECT_EQ(r.exitStatus, c.status) << c.message;
        EXPECT_EQ(r.err, "quorvalis-render: " + c.message + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(readBytes(picture), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << c.message;
        EXPECT_FALSE(fs::exists(raw)) << c.message;
    }
}

TEST(RenderErrors, FilesThatCannotBeReadAreFileProblems)
{
    TempFolder folder;
    const std::string notOurs = folder.file("random.fra");
    writeBytes(notOurs, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const std::string badPalette = folder.file("bad.pal");
    writeBytes(badPalette, std::vector<std::uint8_t>(41, 7));

    // A deep file cut short inside its numbers.
    const std::string shortFile = folder.file("short.fdz");
    {
        GuiSession maker;
        maker.typeWindow("0.1", "0.1000000000000000000000001", "0.2",
                         "0.20000000000000000000000075");
        ASSERT_TRUE(saveDeepFile(maker.app, maker.pictures, shortFile));
        std::vector<std::uint8_t> bytes = readBytes(shortFile);
        bytes.resize(bytes.size() - 4);
        writeBytes(shortFile, bytes);
    }
    fs::create_directories(folder.file("folder.fra"));

    expectRefusals(
        folder, {
                    {{folder.file("missing.fra")},
                     cli::kExitFileProblem,
                     "cannot read '" + folder.file("missing.fra") + "': no such file"},
                    {{folder.file("folder.fra")},
                     cli::kExitFileProblem,
                     "cannot read '" + folder.file("folder.fra") + "': it is a folder"},
                    {{notOurs}, cli::kExitFileProblem, "'" + notOurs + "': Not a quorvalis-file!"},
                    {{shortFile},
                     cli::kExitFileProblem,
                     "'" + shortFile + "': " + std::string(kShortParameterFile)},
                    {{"--palette", folder.file("none.pal")},
                     cli::kExitFileProblem,
                     "cannot read '" + folder.file("none.pal") + "': no such file"},
                    {{"--palette", badPalette},
                     cli::kExitFileProblem,
                     "'" + badPalette + "': Not a Quorvalis-file!"},
                    {{"-o", folder.file("no/such/folder.png")},
                     cli::kExitFileProblem,
                     "cannot write '" + folder.file("no/such/folder.png") + "': no folder '" +
                         folder.file("no/such") + "'"},
                });
}

TEST(RenderErrors, FilesAndFoldersTheUserMayNotUseAreFileProblems)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser reads every file";
    }
    TempFolder folder;
    const std::string locked = folder.file("locked.fra");
    writeBytes(locked, std::vector<std::uint8_t>(133, 0));
    fs::permissions(locked, fs::perms::none);
    const std::string closed = folder.file("closed");
    fs::create_directories(closed);
    fs::permissions(closed, fs::perms::owner_read | fs::perms::owner_exec);
    const std::string into = closed + "/picture.png";
    expectRefusals(
        folder,
        {{{locked}, cli::kExitFileProblem, "cannot read '" + locked + "': Permission denied"},
         {{"-o", into}, cli::kExitFileProblem, "cannot write '" + into + "': Permission denied"}});
    fs::permissions(closed, fs::perms::owner_all);
}

TEST(RenderErrors, WrongCommandLinesAreUsageErrors)
{
    TempFolder folder;
    const std::string input = folder.file("in.fra");
    {
        GuiSession maker;
        ASSERT_TRUE(saveStandardFile(maker.app, maker.pictures, input));
    }
    expectRefusals(
        folder,
        {
            {{"--frobnicate"}, cli::kExitUsage, "unknown option '--frobnicate'"},
            {{"--iter", "many"}, cli::kExitUsage, "--iter: 'many' is not a whole number"},
            {{"--iter", "2"}, cli::kExitUsage, "--iter: 2 is out of range (3 or more)"},
            {{"--bailout", "1e39x"}, cli::kExitUsage, "--bailout: '1e39x' is not a number"},
            {{"--bailout", "-1"},
             cli::kExitUsage,
             "--bailout: -1 is out of range (a positive number a double holds)"},
            {{"--size", "0x480"},
             cli::kExitUsage,
             "--size: 0 is out of range (1 to 16384 pixels each way)"},
            {{"--size", "640x16385"},
             cli::kExitUsage,
             "--size: 16385 is out of range (1 to 16384 pixels each way)"},
            {{"--threads", "0"}, cli::kExitUsage, "--threads: 0 is out of range (1 to 64)"},
            {{"--threads", "65"}, cli::kExitUsage, "--threads: 65 is out of range (1 to 64)"},
            {{"--mode", "29"}, cli::kExitUsage, "--mode: 29 is out of range (1 to 28)"},
            {{"--mandelbrot", "-2", "1", "x", "1"},
             cli::kExitUsage,
             "--mandelbrot: 'x' is not a number"},
            {{"-o", folder.file("picture")},
             cli::kExitUsage,
             "-o: '" + folder.file("picture") +
                 "' names no picture format that can be written (use .png, .jpg, .bmp or .tif)"},
            {{"-o", folder.file("picture.dib")},
             cli::kExitUsage,
             "-o: '" + folder.file("picture.dib") +
                 "' names no picture format that can be written (use .png, .jpg, .bmp or .tif)"},
            // On the list of picture names, but no writer is installed for it.
            {{"-o", folder.file("picture.emf")},
             cli::kExitUsage,
             "-o: '" + folder.file("picture.emf") +
                 "' names a picture format this program cannot write (use .png, .jpg, .bmp or "
                 ".tif)"},
            {{"-o", folder.file("kept.png"), "--raw", folder.file("kept.png")},
             cli::kExitUsage,
             "the picture and the raw results cannot both go to '" + folder.file("kept.png") + "'"},
            // The input is never replaced by an output.
            {{input, "-o", folder.file("kept.png"), "--raw", input},
             cli::kExitUsage,
             "'" + input + "' is an input file; it would be replaced"},
        });
    EXPECT_EQ(readBytes(input).size(), 133u);
}

} // namespace
} // namespace qv::test
