// The layering check on small trees built per test: what it lets pass, what it reports and where,
// the table it reads, and the check_layers program's output and exit status.
#include "tests/support/temp_folder.h"
#include "tools/layers/layer_rules.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using layers::ViolationKind;

using Files = std::vector<std::pair<std::string, std::string>>;

// The product's order, as the fixture trees are checked against it.
const std::string kTable = "# fixture table\n"
                           "base                                                   no-qt\n"
                           "palette     base                                       no-qt\n"
                           "engine      base palette                               no-qt\n"
                           "app         base palette engine                        no-qt\n"
                           "persistence base palette engine app                    no-qt\n"
                           "imaging     base palette engine app persistence        qt\n"
                           "ui          base palette engine app persistence imaging qt\n"
                           "cli         base palette engine app persistence imaging no-qt\n"
                           "tools                                                  unchecked\n"
                           "tests/support base palette engine app persistence imaging no-qt\n"
                           "tests/cli                                              qt\n";

void writeTree(const TempFolder& folder, const Files& files)
{
    for (const auto& [path, text] : files) {
        const fs::path file = folder.file(path);
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
}

/// What the tests compare of a violation; the message in full where it is given.
struct Expected
{
    ViolationKind kind;
    std::string file;
    int line = 0;
    std::string include;
    std::vector<std::string> folders;
    std::string message;
};

struct CheckCase
{
    std::string name;
    Files files;
    std::vector<Expected> expected;
    std::string table = kTable;
};

// Names the case in gtest's messages rather than dumping its bytes.
void PrintTo(const CheckCase& c, std::ostream* out)
{
    *out << c.name;
}

// A tree that keeps every rule, with the includes the check must let through.
const Files kCleanTree = {
    {"base/a.h", "#pragma once\n#include <cstdint>\n"},
    {"palette/p.h", "#include \"base/a.h\"\n"},
    {"engine/e.h", "#include \"palette/p.h\"\n#include \"base/a.h\"\n"},
    {"engine/e.cpp", "#include \"engine/e.h\"\n#include \"e_detail.h\"\n#include <gmp.h>\n"},
    {"app/a.h", "#include \"engine/e.h\"\n"},
    {"ui/w.cpp", "#include \"app/a.h\"\n#include <QWidget>\n#include \"w.moc\"\n"},
    {"cli/c.cpp", "#include \"app/a.h\"\n#include \"imaging/i.h\"\n"},
    {"tests/support/t.h", "#include \"app/a.h\"\n"},
    {"tests/engine/e_test.cpp",
     "#include \"engine/e.h\"\n#include \"tests/support/t.h\"\n#include <gtest/gtest.h>\n"},
    {"tests/ui/support/f.h", "#include \"ui/w.h\"\n#include <QTest>\n"},
    {"tests/ui/tst_w.cpp", "#include \"tests/ui/support/f.h\"\n#include \"tst_w.moc\"\n"},
    {"tests/cli/c_test.cpp", "#include \"cli/c.h\"\n#include <QImage>\n"},
    // Not read: build output, hidden folders, the unchecked tools, files that are not C++.
    {"build-san/gen.cpp", "#include \"ui/w.h\"\n"},
    {".cache/x.h", "#include \"ui/w.h\"\n"},
    {"tools/gen.cpp", "#include \"ui/w.h\"\n"},
    {"base/notes.txt", "#include \"ui/w.h\"\n"},
    {"base/CMakeLists.txt", "#include \"ui/w.h\"\n"},
};

Files cleanTreeWith(const Files& extra)
{
    Files files = kCleanTree;
    files.insert(files.end(), extra.begin(), extra.end());
    return files;
}

std::vector<CheckCase> checkCases()
{
    const std::string permissive = "base no-qt\n"
                                   "engine base app no-qt\n"
                                   "app base engine no-qt\n";
    return {
        {"CleanTreePasses", kCleanTree, {}},
        {"UnqualifiedAndNonQtAngleIncludesPass",
         {{"base/b.cpp", "// #include \"ui/w.h\"\n"
                         "  #  include   \"b.h\"\n"
                         "#include <vector>\n"
                         "#include <gtest/gtest.h>\n"
                         "#include <queue>\n"
                         "#include SOME_HEADER\n"
                         "#include \"tst_b.moc\"\n"}},
         {}},
        {"UpwardInclude",
         cleanTreeWith({{"engine/v.h", "#pragma once\n\n#include \"persistence/s.h\"\n"}}),
         {{ViolationKind::ForbiddenInclude,
           "engine/v.h",
           3,
           "\"persistence/s.h\"",
           {},
           "engine/v.h:3: includes \"persistence/s.h\": engine may not include persistence "
           "(it may include: base palette)"}}},
        {"IncludeFromTheBottomNamesNoOtherFolder",
         {{"base/a.h", "#include \"palette/p.h\"\n"}},
         {{ViolationKind::ForbiddenInclude,
           "base/a.h",
           1,
           "\"palette/p.h\"",
           {},
           "base/a.h:1: includes \"palette/p.h\": base may not include palette "
           "(it may include: no other folder)"}}},
        {"SidewaysIncludeBetweenSiblings",
         cleanTreeWith({{"cli/d.cpp", "#include \"app/a.h\"\n#include \"ui/w.h\"\n"}}),
         {{ViolationKind::ForbiddenInclude,
           "cli/d.cpp",
           2,
           "\"ui/w.h\"",
           {},
           "cli/d.cpp:2: includes \"ui/w.h\": cli may not include ui "
           "(it may include: base palette engine app persistence imaging)"}}},
        {"QtIncludeInAQtFreeFolder",
         cleanTreeWith({{"engine/q.cpp", "#include <vector>\n#include <QImage>\n"},
                        {"cli/q.cpp", "#include <QtCore/QString>\n"}}),
         {{ViolationKind::QtInclude,
           "cli/q.cpp",
           1,
           "<QtCore/QString>",
           {},
           "cli/q.cpp:1: includes <QtCore/QString>: cli may not include Qt headers"},
          {ViolationKind::QtInclude,
           "engine/q.cpp",
           2,
           "<QImage>",
           {},
           "engine/q.cpp:2: includes <QImage>: engine may not include Qt headers"}}},
        {"FolderMissingFromTheTable",
         cleanTreeWith({{"plugins/p.cpp", "#include \"base/a.h\"\n"},
                        {"tests/plugins/p_test.cpp", "\n"},
                        {"stray.cpp", "\n"}}),
         {{ViolationKind::UnknownFolder,
           "plugins/p.cpp",
           0,
           "",
           {},
           "plugins/p.cpp: folder plugins is not in the layer table"},
          {ViolationKind::UnknownFolder,
           "stray.cpp",
           0,
           "",
           {},
           "stray.cpp: a source file outside the folders of the layer table"},
          {ViolationKind::UnknownFolder,
           "tests/plugins/p_test.cpp",
           0,
           "",
           {},
           "tests/plugins/p_test.cpp: folder tests/plugins is not in the layer table"}}},
        {"CycleInTheTable",
         {{"a/x.h", "\n"}},
         {{ViolationKind::TableCycle,
           "layers.txt",
           2,
           "",
           {"a", "b", "c", "a"},
           "layers.txt:2: the table lets a -> b -> c -> a include each other in a cycle"}},
         "# three in a ring\na b no-qt\nb c no-qt\nc a no-qt\nd a b c no-qt\n"},
        {"IncludeCycleUnderAPermissiveTable",
         {{"app/a.h", "#include \"base/b.h\"\n#include \"engine/e.h\"\n"},
          {"engine/e.h", "#include \"app/a.h\"\n"},
          {"engine/f.h", "#include \"app/a.h\"\n"}},
         {{ViolationKind::TableCycle, "layers.txt", 3, "", {"app", "engine", "app"}, ""},
          {ViolationKind::IncludeCycle,
           "",
           0,
           "",
           {"app", "engine", "app"},
           "include cycle between folders app -> engine -> app (app/a.h:2 includes "
           "\"engine/e.h\"; engine/e.h:1 includes \"app/a.h\")"}},
         permissive},
        {"IncludeCycleThroughAForbiddenInclude",
         {{"engine/e.h", "#include \"app/a.h\"\n"}, {"app/a.h", "#include \"engine/e.h\"\n"}},
         {{ViolationKind::ForbiddenInclude, "engine/e.h", 1, "\"app/a.h\"", {}, ""},
          {ViolationKind::IncludeCycle, "", 0, "", {"app", "engine", "app"}, ""}}},
        {"TestFolderIncludingAboveItsFolder",
         cleanTreeWith(
             {{"tests/engine/v_test.cpp", "#include \"engine/e.h\"\n#include \"app/a.h\"\n"},
              {"tests/engine/w_test.cpp", "#include \"tests/ui/support/f.h\"\n"},
              {"tests/engine/q_test.cpp", "#include <QImage>\n"},
              {"tests/support/u.h", "#include \"ui/w.h\"\n"}}),
         {{ViolationKind::QtInclude, "tests/engine/q_test.cpp", 1, "<QImage>", {}, ""},
          {ViolationKind::ForbiddenInclude,
           "tests/engine/v_test.cpp",
           2,
           "\"app/a.h\"",
           {},
           "tests/engine/v_test.cpp:2: includes \"app/a.h\": tests/engine may not include app "
           "(it may include: base palette engine tests/support)"},
          {ViolationKind::ForbiddenInclude,
           "tests/engine/w_test.cpp",
           1,
           "\"tests/ui/support/f.h\"",
           {},
           ""},
          {ViolationKind::ForbiddenInclude, "tests/support/u.h", 1, "\"ui/w.h\"", {}, ""}}},
    };
}

class LayerCheck : public ::testing::TestWithParam<CheckCase>
{
};

TEST_P(LayerCheck, ReportsExactlyTheBrokenRules)
{
    const CheckCase& c = GetParam();
    TempFolder folder;
    writeTree(folder, c.files);
    const layers::ParsedTable parsed = layers::parseLayerTable(c.table, "layers.txt");
    ASSERT_EQ(parsed.errors, std::vector<std::string>{});

    const std::vector<layers::Violation> found =
        layers::checkLayers(parsed.table, layers::scanTree(folder.path(), parsed.table));

    ASSERT_EQ(found.size(), c.expected.size()) << [&] {
        std::string all;
        for (const layers::Violation& v : found) {
            all += v.message + "\n";
        }
        return all;
    }();
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Expected& want = c.expected[i];
        EXPECT_EQ(found[i].kind, want.kind) << i;
        EXPECT_EQ(found[i].file, want.file) << i;
        EXPECT_EQ(found[i].line, want.line) << i;
        EXPECT_EQ(found[i].include, want.include) << i;
        EXPECT_EQ(found[i].folders, want.folders) << i;
        if (!want.message.empty()) {
            EXPECT_EQ(found[i].message, want.message) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Trees, LayerCheck, ::testing::ValuesIn(checkCases()),
                         [](const auto& testCase) { return testCase.param.name; });

TEST(LayerTable, TestFoldersFollowTheirProductFolder)
{
    const layers::ParsedTable parsed = layers::parseLayerTable(kTable, "layers.txt");
    ASSERT_EQ(parsed.errors, std::vector<std::string>{});

    const struct
    {
        std::string folder;
        std::vector<std::string> mayInclude;
        bool qt;
        bool checked;
    } rows[] = {
        {"tests/engine", {"base", "palette", "engine", "tests/support"}, false, true},
        {"tests/ui",
         {"base", "palette", "engine", "app", "persistence", "imaging", "ui", "tests/support"},
         true,
         true},
        {"tests/cli",
         {"base", "palette", "engine", "app", "persistence", "imaging", "cli", "tests/support"},
         true,
         true},
        {"tests/support",
         {"base", "palette", "engine", "app", "persistence", "imaging"},
         false,
         true},
        {"tools", {}, false, false},
        {"tests/tools", {"tools", "tests/support"}, false, true},
    };

    for (const auto& row : rows) {
        const layers::FolderRule* rule = parsed.table.rule(row.folder);
        ASSERT_NE(rule, nullptr) << row.folder;
        EXPECT_EQ(rule->mayInclude, row.mayInclude) << row.folder;
        EXPECT_EQ(rule->qt, row.qt) << row.folder;
        EXPECT_EQ(rule->checked, row.checked) << row.folder;
    }
    EXPECT_EQ(parsed.table.rule("tests"), nullptr);
    EXPECT_EQ(parsed.table.rule("tests/ui/support"), nullptr);
}

TEST(LayerTable, MalformedTablesNameTheirLine)
{
    const struct
    {
        std::string text;
        std::string error;
    } cases[] = {
        {"base no-qt\nengine base\n", "t.txt:2: the row for engine does not end with qt, no-qt "
                                      "or unchecked"},
        {"base\n", "t.txt:1: the row for base does not end with qt, no-qt or unchecked"},
        {"base no-qt\nengine base plaette no-qt\n",
         "t.txt:2: engine may include plaette, which has no row in the table"},
        {"base no-qt\n\nbase qt\n", "t.txt:3: a second row for base (the first is on line 1)"},
        {"engine/deep no-qt\n", "t.txt:1: \"engine/deep\" is not a top-level folder or tests/NAME"},
        {"tests/ui/support no-qt\n",
         "t.txt:1: \"tests/ui/support\" is not a top-level folder or tests/NAME"},
        {"engine base, palette no-qt\n", "t.txt:1: \"base,\" is not a top-level folder or "
                                         "tests/NAME"},
        {"# only a comment\n", "t.txt:1: the table has no rows"},
    };

    for (const auto& c : cases) {
        const layers::ParsedTable parsed = layers::parseLayerTable(c.text, "t.txt");
        ASSERT_FALSE(parsed.errors.empty()) << c.text;
        EXPECT_EQ(parsed.errors.front(), c.error) << c.text;
    }
}

TEST(LayerTable, TheProjectTableParsesWithoutCycles)
{
    const layers::ParsedTable parsed = layers::readLayerTable(QV_LAYER_TABLE);
    ASSERT_EQ(parsed.errors, std::vector<std::string>{});
    EXPECT_EQ(layers::checkLayers(parsed.table, {}).size(), 0u);
    // The windows stay out of the shared test helpers and of the headless renderer.
    for (const char* folder : {"tests/support", "cli"}) {
        const layers::FolderRule* rule = parsed.table.rule(folder);
        ASSERT_NE(rule, nullptr) << folder;
        EXPECT_FALSE(rule->qt) << folder;
        EXPECT_EQ(std::count(rule->mayInclude.begin(), rule->mayInclude.end(), "ui"), 0) << folder;
    }
}

TEST(LayerGraph, CountsIncludesBetweenFolders)
{
    TempFolder folder;
    writeTree(folder, cleanTreeWith({{"engine/v.h", "#include \"app/a.h\"\n"}}));
    const layers::ParsedTable parsed = layers::parseLayerTable(kTable, "layers.txt");
    const std::vector<layers::FolderEdge> edges =
        layers::folderGraph(layers::scanTree(folder.path(), parsed.table));

    EXPECT_EQ(layers::formatGraph(edges), "app -> engine                  1\n"
                                          "cli -> app                     1\n"
                                          "cli -> imaging                 1\n"
                                          "engine -> app                  1\n"
                                          "engine -> base                 1\n"
                                          "engine -> palette              1\n"
                                          "palette -> base                1\n"
                                          "tests/cli -> cli               1\n"
                                          "tests/engine -> engine         1\n"
                                          "tests/engine -> tests/support  1\n"
                                          "tests/support -> app           1\n"
                                          "tests/ui -> ui                 1\n"
                                          "ui -> app                      1\n");
    ASSERT_FALSE(edges.empty());
    EXPECT_EQ(edges.front().exampleFile, "app/a.h");
    EXPECT_EQ(edges.front().exampleLine, 1);
    EXPECT_EQ(edges.front().exampleInclude, "\"engine/e.h\"");
}

struct ProgramRun
{
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs the built check_layers through the shell, stdout and stderr captured apart.
ProgramRun runCheckLayers(const TempFolder& folder, const std::string& arguments)
{
    const std::string errFile = folder.file("stderr.txt");
    const std::string command =
        std::string("'") + QV_CHECK_LAYERS_PROGRAM + "' " + arguments + " 2>'" + errFile + "'";
    ProgramRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::vector<std::uint8_t> err = readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

TEST(CheckLayersProgram, ExitStatusTellsCleanFromViolationsFromABadTable)
{
    TempFolder folder;
    writeTree(folder, {{"tree/engine/v.h", "#pragma once\n#include \"app/a.h\"\n"},
                       {"tree/app/a.h", "#include \"engine/e.h\"\n"},
                       {"layers.txt", kTable},
                       {"broken.txt", "base no-qt\nengine base\n"}});
    const std::string tree = "'" + folder.file("tree") + "'";

    const ProgramRun failing =
        runCheckLayers(folder, "--table '" + folder.file("layers.txt") + "' " + tree);
    EXPECT_EQ(failing.status, 1);
    EXPECT_EQ(failing.out, "engine/v.h:2: includes \"app/a.h\": engine may not include app "
                           "(it may include: base palette)\n"
                           "include cycle between folders app -> engine -> app (app/a.h:1 "
                           "includes \"engine/e.h\"; engine/v.h:2 includes \"app/a.h\")\n");
    EXPECT_EQ(failing.err, "check_layers: 2 layer violations in 2 files\n");

    const ProgramRun graph =
        runCheckLayers(folder, "--graph --table '" + folder.file("layers.txt") + "' " + tree);
    EXPECT_EQ(graph.status, 0);
    EXPECT_EQ(graph.out, "app -> engine  1\nengine -> app  1\n");

    writeTree(folder, {{"tree/app/a.h", "#pragma once\n"}});
    writeTree(folder, {{"tree/engine/v.h", "#pragma once\n"}});
    const ProgramRun clean =
        runCheckLayers(folder, "--table '" + folder.file("layers.txt") + "' " + tree);
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "check_layers: 2 files, no layer violations\n");

    const ProgramRun broken =
        runCheckLayers(folder, "--table '" + folder.file("broken.txt") + "' " + tree);
    EXPECT_EQ(broken.status, 2);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(broken.err, folder.file("broken.txt") +
                              ":2: the row for engine does not end with qt, no-qt or unchecked\n");

    // Without --table the table is looked for in the tree, where this one has none.
    const ProgramRun missing = runCheckLayers(folder, tree);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read the layer table"), std::string::npos) << missing.err;
}

} // namespace
} // namespace qv::test
