// Opening the manual and the home page: where the manual is found, and what the person is told
// when it is missing or the desktop cannot open it.
#include "app/help.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

struct RecordingDesktop : DesktopOpener
{
    bool openFile(const std::string& path) override
    {
        opened.push_back(path);
        return works;
    }

    bool openAddress(const std::string& address) override
    {
        opened.push_back(address);
        return works;
    }

    bool works = true;
    std::vector<std::string> opened;
};

void touch(const std::string& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "<html></html>";
}

TEST(Help, LooksBesideTheProgramThenInTheDocumentationFolder)
{
    struct Case
    {
        bool besideProgram, inDocumentation;
        std::string expected; ///< "program/", "doc/" or "" for none
    };

    const std::vector<Case> cases = {
        {true, true, "program/"},
        {false, true, "doc/"},
        {true, false, "program/"},
        {false, false, ""},
    };
    for (const Case& c : cases) {
        test::TempFolder folder;
        const HelpPlaces places{folder.path() + "program", folder.path() + "doc/"};
        std::filesystem::create_directories(places.programFolder);
        if (c.besideProgram) {
            touch(folder.path() + "program/quorvalis.html");
        }
        if (c.inDocumentation) {
            touch(folder.path() + "doc/quorvalis.html");
        }
        const std::string expected =
            c.expected.empty() ? "" : folder.path() + c.expected + "quorvalis.html";
        EXPECT_EQ(findHelpFile(places), expected);
    }
}

TEST(Help, OpensTheManualOrSaysWhyNot)
{
    test::TempFolder folder;
    RecordingDesktop desktop;
    {
        test::ScriptedPrompts prompts;
        EXPECT_FALSE(openHelp({folder.path(), ""}, desktop, prompts));
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"Helpfile: \nquorvalis.html not found!"});
        EXPECT_TRUE(desktop.opened.empty());
    }
    touch(folder.path() + "quorvalis.html");
    {
        test::ScriptedPrompts prompts;
        EXPECT_TRUE(openHelp({folder.path(), ""}, desktop, prompts));
        EXPECT_EQ(desktop.opened, std::vector<std::string>{folder.path() + "quorvalis.html"});
        EXPECT_TRUE(prompts.asked().empty());
    }
    desktop.works = false;
    test::ScriptedPrompts prompts;
    EXPECT_FALSE(openHelp({folder.path(), ""}, desktop, prompts));
    EXPECT_FALSE(openHomePage(desktop, prompts));
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{
                  "The help file could not be opened:\n" + folder.path() + "quorvalis.html",
                  "The home page could not be opened:\nhttps://quorvalis.example.org/"}));
}

} // namespace
} // namespace qv
