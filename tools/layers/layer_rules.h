// Layer rules: the table of which folder may include which, the #include lines of a source tree,
// and the ways the tree breaks the table, as data for check_layers and its tests.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qv::layers {

/// What the files of one folder may include.
struct FolderRule
{
    std::string folder;                  ///< "engine", "tests/support"
    std::vector<std::string> mayInclude; ///< folders besides itself, in table order
    bool qt = false;                     ///< may include Qt headers (<Q...>)
    bool checked = true;                 ///< false: the folder's files are not read
    int line = 0;                        ///< the table row the rule comes from
};

/// A parsed table, with the rules of the test folders derived from their product folders.
class LayerTable
{
public:
    /// The rule of a folder ("engine", "tests/engine"); nullptr when the table has none.
    const FolderRule* rule(std::string_view folder) const;

    /// Every rule, derived test folders included, sorted by folder.
    const std::vector<FolderRule>& rules() const { return m_rules; }

    /// The table's file name, as messages about the table name it.
    const std::string& name() const { return m_name; }

private:
    friend struct TableReader;
    std::string m_name;
    std::vector<FolderRule> m_rules;
};

/// A table and what was wrong with its text; the table is usable only when `errors` is empty.
struct ParsedTable
{
    LayerTable table;
    std::vector<std::string> errors; ///< "NAME:LINE: problem", one per problem
};

/// Reads table text (see tools/layers/layers.txt for its form); `name` prefixes the errors.
ParsedTable parseLayerTable(std::string_view text, const std::string& name);

/// Reads the table file; a file that cannot be read is one error.
ParsedTable readLayerTable(const std::filesystem::path& file);

/// The layer folder of a path relative to the root: its first folder, or "tests/NAME" for a file
/// deeper under tests/ ("tests/ui/support/a.h" is in "tests/ui"). "" for a file at the root.
std::string folderOf(std::string_view path);

/// One #include line of a source file.
struct IncludeLine
{
    int line = 0;       ///< counted from 1
    std::string target; ///< between the delimiters: app/app_state.h, QImage
    bool angle = false; ///< <...> rather than "..."

    /// The include as written: "app/app_state.h" with its quotes, or <QImage>.
    std::string written() const;
};

/// The #include lines of a source text, in order. Lines that include a macro are skipped.
std::vector<IncludeLine> readIncludes(std::string_view text);

/// A source file of the tree and its includes.
struct SourceFile
{
    std::string path;   ///< relative to the root, with "/"
    std::string folder; ///< folderOf(path)
    std::vector<IncludeLine> includes;
};

/// The .h and .cpp files under `root`, sorted by path. Skips hidden folders, the top-level
/// build* folders and the folders the table marks unchecked.
std::vector<SourceFile> scanTree(const std::filesystem::path& root, const LayerTable& table);

/// The folder a quoted include points into; a name without a folder is the file's own folder.
std::string includedFolder(const SourceFile& file, const IncludeLine& include);

enum class ViolationKind {
    ForbiddenInclude, ///< a quoted include of a folder the rule does not list
    QtInclude,        ///< <Q...> in a folder without Qt
    UnknownFolder,    ///< a source file in a folder the table has no row for
    TableCycle,       ///< the table lets folders include each other in a circle
    IncludeCycle,     ///< the includes of the tree go round in a circle of folders
};

/// One way the tree or the table breaks the layering.
struct Violation
{
    ViolationKind kind = ViolationKind::ForbiddenInclude;
    std::string file;                 ///< the source file, or the table for TableCycle
    int line = 0;                     ///< 0 when no line is meant
    std::string include;              ///< as written, for the include kinds
    std::vector<std::string> folders; ///< cycles: the folders in order, the first repeated last
    std::string message;              ///< the whole report line
};

/// Every violation: the table's cycles first, then each file's in path and line order, then the
/// cycles of the folder graph.
std::vector<Violation> checkLayers(const LayerTable& table, const std::vector<SourceFile>& files);

/// Quoted includes from one folder into another, with the first of them as an example.
struct FolderEdge
{
    std::string from;
    std::string to;
    int count = 0;
    std::string exampleFile;
    int exampleLine = 0;
    std::string exampleInclude;
};

/// The folder-to-folder include graph (a folder's includes of itself left out), sorted.
std::vector<FolderEdge> folderGraph(const std::vector<SourceFile>& files);

/// One line per edge, "engine -> palette  3", the counts aligned.
std::string formatGraph(const std::vector<FolderEdge>& edges);

} // namespace qv::layers
