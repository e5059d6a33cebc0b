// The layer table's reader, the tree's include scanner, and the checks of one against the other.
#include "tools/layers/layer_rules.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <system_error>
#include <utility>

namespace qv::layers {
namespace {

constexpr std::string_view kTests = "tests";
constexpr std::string_view kTestSupport = "tests/support";

using Graph = std::map<std::string, std::set<std::string>>;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::vector<std::string> words(std::string_view line)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            out.emplace_back(line.substr(start, i - start));
        }
    }
    return out;
}

std::vector<std::string_view> lines(std::string_view text)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty()) {
            out += separator;
        }
        out += part;
    }
    return out;
}

/// A folder name a row may have: one top-level folder, or tests/NAME.
bool isFolderName(std::string_view name)
{
    const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' ||
               c == '.' || c == '/';
    });
    if (!plain) {
        return false;
    }
    const std::size_t slash = name.find('/');
    if (name.empty() || name.front() == '.' || slash == 0 || slash + 1 == name.size()) {
        return false;
    }
    if (slash == std::string_view::npos) {
        return true;
    }
    return name.substr(0, slash) == kTests && name.find('/', slash + 1) == std::string_view::npos &&
           name[slash + 1] != '.';
}

void addOnce(std::vector<std::string>& list, const std::string& name)
{
    if (std::find(list.begin(), list.end(), name) == list.end()) {
        list.push_back(name);
    }
}

/// The folders a folder includes directly.
const std::set<std::string>& targetsOf(const Graph& graph, const std::string& node)
{
    static const std::set<std::string> kNone;
    const auto found = graph.find(node);
    return found == graph.end() ? kNone : found->second;
}

/// Every folder reachable from `start` in one step or more.
std::set<std::string> reachableFrom(const Graph& graph, const std::string& start)
{
    std::set<std::string> seen;
    std::vector<std::string> stack{start};
    while (!stack.empty()) {
        const std::string node = stack.back();
        stack.pop_back();
        for (const std::string& to : targetsOf(graph, node)) {
            if (seen.insert(to).second) {
                stack.push_back(to);
            }
        }
    }
    return seen;
}

/// The shortest cycle from `start` back to it within `group`, breadth first; `start` is
/// repeated at the end.
std::vector<std::string> shortestCycle(const Graph& graph, const std::string& start,
                                       const std::set<std::string>& group)
{
    std::map<std::string, std::string> parent;
    std::deque<std::string> queue{start};
    std::string last;
    while (!queue.empty() && last.empty()) {
        const std::string node = queue.front();
        queue.pop_front();
        for (const std::string& to : targetsOf(graph, node)) {
            if (to == start) {
                last = node;
                break;
            }
            if (group.contains(to) && !parent.contains(to)) {
                parent[to] = node;
                queue.push_back(to);
            }
        }
    }
    std::vector<std::string> cycle{start};
    for (std::string node = last; node != start; node = parent[node]) {
        cycle.insert(cycle.begin() + 1, node);
    }
    cycle.push_back(start);
    return cycle;
}

/// One cycle through each group of folders that reach one another, the group's first folder
/// leading, by the fewest steps; the first folder is repeated at the end.
std::vector<std::vector<std::string>> cyclesOf(const Graph& graph)
{
    std::set<std::string> nodes;
    for (const auto& [from, targets] : graph) {
        nodes.insert(from);
        nodes.insert(targets.begin(), targets.end());
    }
    std::vector<std::vector<std::string>> cycles;
    std::set<std::string> placed;
    for (const std::string& start : nodes) {
        if (placed.contains(start)) {
            continue;
        }
        const std::set<std::string> fromStart = reachableFrom(graph, start);
        if (!fromStart.contains(start)) {
            continue;
        }
        std::set<std::string> group;
        for (const std::string& node : fromStart) {
            if (reachableFrom(graph, node).contains(start)) {
                group.insert(node);
            }
        }
        placed.insert(group.begin(), group.end());
        cycles.push_back(shortestCycle(graph, start, group));
    }
    return cycles;
}

std::string readText(const std::filesystem::path& file, bool& ok)
{
    std::ifstream in(file, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isSourceFile(const std::filesystem::path& path)
{
    const std::string extension = path.extension().string();
    return extension == ".h" || extension == ".cpp";
}

std::string forbiddenMessage(const FolderRule& rule, const std::string& target)
{
    const std::string allowed =
        rule.mayInclude.empty() ? std::string("no other folder") : joined(rule.mayInclude, " ");
    return rule.folder + " may not include " + target + " (it may include: " + allowed + ")";
}

} // namespace

/// Builds the table from its rows; LayerTable's only writer.
struct TableReader
{
    static ParsedTable parse(std::string_view text, const std::string& name)
    {
        ParsedTable parsed;
        parsed.table.m_name = name;
        std::vector<FolderRule> rows;
        const auto fail = [&](int line, const std::string& problem) {
            parsed.errors.push_back(name + ":" + std::to_string(line) + ": " + problem);
        };

        const std::vector<std::string_view> textLines = lines(text);
        for (std::size_t i = 0; i < textLines.size(); ++i) {
            const int lineNumber = static_cast<int>(i) + 1;
            std::vector<std::string> row = words(textLines[i]);
            if (row.empty() || row.front().front() == '#') {
                continue;
            }
            FolderRule rule;
            rule.line = lineNumber;
            rule.folder = row.front();
            if (!isFolderName(rule.folder)) {
                fail(lineNumber, "\"" + rule.folder + "\" is not a top-level folder or tests/NAME");
                continue;
            }
            const std::string& headers = row.back();
            if (row.size() < 2 ||
                (headers != "qt" && headers != "no-qt" && headers != "unchecked")) {
                fail(lineNumber,
                     "the row for " + rule.folder + " does not end with qt, no-qt or unchecked");
                continue;
            }
            rule.qt = headers == "qt";
            rule.checked = headers != "unchecked";
            for (std::size_t w = 1; w + 1 < row.size(); ++w) {
                if (!isFolderName(row[w])) {
                    fail(lineNumber, "\"" + row[w] + "\" is not a top-level folder or tests/NAME");
                }
                addOnce(rule.mayInclude, row[w]);
            }
            const auto same = std::find_if(rows.begin(), rows.end(), [&](const FolderRule& r) {
                return r.folder == rule.folder;
            });
            if (same != rows.end()) {
                fail(lineNumber, "a second row for " + rule.folder + " (the first is on line " +
                                     std::to_string(same->line) + ")");
                continue;
            }
            rows.push_back(std::move(rule));
        }
        if (rows.empty() && parsed.errors.empty()) {
            fail(static_cast<int>(textLines.size()), "the table has no rows");
        }

        // tests/X: X's rule, X itself and the shared test support, then what a row of its own
        // adds; such a row also sets the Qt column.
        std::vector<FolderRule> rules;
        for (const FolderRule& row : rows) {
            if (row.folder.starts_with(std::string(kTests) + "/")) {
                continue;
            }
            rules.push_back(row);
            if (row.folder == kTests) {
                continue;
            }
            FolderRule test;
            test.folder = std::string(kTests) + "/" + row.folder;
            test.mayInclude = row.mayInclude;
            addOnce(test.mayInclude, row.folder);
            addOnce(test.mayInclude, std::string(kTestSupport));
            test.qt = row.qt;
            test.line = row.line;
            const auto own = std::find_if(rows.begin(), rows.end(), [&](const FolderRule& r) {
                return r.folder == test.folder;
            });
            if (own != rows.end()) {
                for (const std::string& extra : own->mayInclude) {
                    addOnce(test.mayInclude, extra);
                }
                test.qt = own->qt;
                test.checked = own->checked;
                test.line = own->line;
            }
            rules.push_back(std::move(test));
        }
        for (const FolderRule& row : rows) {
            const bool derived = std::any_of(rules.begin(), rules.end(), [&](const FolderRule& r) {
                return r.folder == row.folder;
            });
            if (!derived) {
                rules.push_back(row);
            }
        }
        std::sort(rules.begin(), rules.end(),
                  [](const FolderRule& a, const FolderRule& b) { return a.folder < b.folder; });
        parsed.table.m_rules = std::move(rules);

        for (const FolderRule& row : rows) {
            for (const std::string& target : row.mayInclude) {
                if (parsed.table.rule(target) == nullptr) {
                    fail(row.line,
                         row.folder + " may include " + target + ", which has no row in the table");
                }
            }
        }
        return parsed;
    }
};

const FolderRule* LayerTable::rule(std::string_view folder) const
{
    const auto found = std::lower_bound(
        m_rules.begin(), m_rules.end(), folder,
        [](const FolderRule& r, std::string_view name) { return r.folder < name; });
    return found != m_rules.end() && found->folder == folder ? &*found : nullptr;
}

ParsedTable parseLayerTable(std::string_view text, const std::string& name)
{
    return TableReader::parse(text, name);
}

ParsedTable readLayerTable(const std::filesystem::path& file)
{
    bool ok = false;
    const std::string text = readText(file, ok);
    if (!ok) {
        ParsedTable parsed;
        parsed.errors.push_back(file.string() + ": cannot read the layer table");
        return parsed;
    }
    return parseLayerTable(text, file.string());
}

std::string folderOf(std::string_view path)
{
    const std::size_t slash = path.find('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    const std::string_view first = path.substr(0, slash);
    const std::size_t second = path.find('/', slash + 1);
    if (first == kTests && second != std::string_view::npos) {
        return std::string(path.substr(0, second));
    }
    return std::string(first);
}

std::string IncludeLine::written() const
{
    return angle ? "<" + target + ">" : "\"" + target + "\"";
}

std::vector<IncludeLine> readIncludes(std::string_view text)
{
    constexpr std::string_view kInclude = "include";
    std::vector<IncludeLine> out;
    const std::vector<std::string_view> textLines = lines(text);
    for (std::size_t i = 0; i < textLines.size(); ++i) {
        const std::string_view line = textLines[i];
        std::size_t at = 0;
        const auto skipBlanks = [&] {
            while (at < line.size() && isBlank(line[at])) {
                ++at;
            }
        };
        skipBlanks();
        if (at >= line.size() || line[at] != '#') {
            continue;
        }
        ++at;
        skipBlanks();
        if (line.substr(at, kInclude.size()) != kInclude) {
            continue;
        }
        at += kInclude.size();
        skipBlanks();
        if (at >= line.size() || (line[at] != '"' && line[at] != '<')) {
            continue;
        }
        const bool angle = line[at] == '<';
        const std::size_t end = line.find(angle ? '>' : '"', at + 1);
        if (end == std::string_view::npos) {
            continue;
        }
        out.push_back(
            {static_cast<int>(i) + 1, std::string(line.substr(at + 1, end - at - 1)), angle});
    }
    return out;
}

std::vector<SourceFile> scanTree(const std::filesystem::path& root, const LayerTable& table)
{
    namespace fs = std::filesystem;
    std::vector<SourceFile> files;
    std::error_code error;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path relative = it->path().lexically_relative(root);
        const std::string path = relative.generic_string();
        const std::string name = relative.filename().string();
        std::error_code entryError;
        if (it->is_directory(entryError)) {
            const FolderRule* rule = table.rule(folderOf(path + "/"));
            const bool skipped = name.starts_with(".") ||
                                 (it.depth() == 0 && name.starts_with("build")) ||
                                 (rule != nullptr && !rule->checked);
            if (skipped) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (!it->is_regular_file(entryError) || !isSourceFile(relative)) {
            continue;
        }
        bool ok = false;
        const std::string text = readText(it->path(), ok);
        files.push_back({path, folderOf(path), readIncludes(text)});
    }
    std::sort(files.begin(), files.end(),
              [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
    return files;
}

std::string includedFolder(const SourceFile& file, const IncludeLine& include)
{
    return include.target.find('/') == std::string::npos ? file.folder : folderOf(include.target);
}

namespace {

/// Folders that the table lets include each other in a cycle.
void findTableCycles(const LayerTable& table, std::vector<Violation>& out)
{
    Graph allowed;
    for (const FolderRule& rule : table.rules()) {
        for (const std::string& target : rule.mayInclude) {
            if (target != rule.folder) {
                allowed[rule.folder].insert(target);
            }
        }
    }
    for (std::vector<std::string>& cycle : cyclesOf(allowed)) {
        Violation v;
        v.kind = ViolationKind::TableCycle;
        v.file = table.name();
        const FolderRule* first = table.rule(cycle.front());
        v.line = first != nullptr ? first->line : 0;
        v.message = v.file + ":" + std::to_string(v.line) + ": the table lets " +
                    joined(cycle, " -> ") + " include each other in a cycle";
        v.folders = std::move(cycle);
        out.push_back(std::move(v));
    }
}

bool isQtHeader(const IncludeLine& include)
{
    return include.angle && include.target.size() >= 2 && include.target[0] == 'Q' &&
           std::isalpha(static_cast<unsigned char>(include.target[1])) != 0;
}

/// The includes of one file that its folder's row does not allow.
void findForbiddenIncludes(const FolderRule& rule, const SourceFile& file,
                           std::vector<Violation>& out)
{
    for (const IncludeLine& include : file.includes) {
        Violation v;
        v.file = file.path;
        v.line = include.line;
        v.include = include.written();
        const std::string where =
            file.path + ":" + std::to_string(include.line) + ": includes " + v.include + ": ";
        if (include.angle) {
            if (rule.qt || !isQtHeader(include)) {
                continue;
            }
            v.kind = ViolationKind::QtInclude;
            v.message = where + rule.folder + " may not include Qt headers";
        } else {
            const std::string target = includedFolder(file, include);
            if (target == rule.folder || std::find(rule.mayInclude.begin(), rule.mayInclude.end(),
                                                   target) != rule.mayInclude.end()) {
                continue;
            }
            v.kind = ViolationKind::ForbiddenInclude;
            v.message = where + forbiddenMessage(rule, target);
        }
        out.push_back(std::move(v));
    }
}

/// Cycles in the folder graph of the files, each with one include per edge.
void findIncludeCycles(const std::vector<SourceFile>& files, std::vector<Violation>& out)
{
    const std::vector<FolderEdge> edges = folderGraph(files);
    Graph actual;
    for (const FolderEdge& edge : edges) {
        actual[edge.from].insert(edge.to);
    }
    for (std::vector<std::string>& cycle : cyclesOf(actual)) {
        std::vector<std::string> examples;
        for (std::size_t i = 0; i + 1 < cycle.size(); ++i) {
            const auto edge = std::find_if(edges.begin(), edges.end(), [&](const FolderEdge& e) {
                return e.from == cycle[i] && e.to == cycle[i + 1];
            });
            examples.push_back(edge->exampleFile + ":" + std::to_string(edge->exampleLine) +
                               " includes " + edge->exampleInclude);
        }
        Violation v;
        v.kind = ViolationKind::IncludeCycle;
        v.message = "include cycle between folders " + joined(cycle, " -> ") + " (" +
                    joined(examples, "; ") + ")";
        v.folders = std::move(cycle);
        out.push_back(std::move(v));
    }
}

} // namespace

std::vector<Violation> checkLayers(const LayerTable& table, const std::vector<SourceFile>& files)
{
    std::vector<Violation> out;
    findTableCycles(table, out);
    for (const SourceFile& file : files) {
        const FolderRule* rule = table.rule(file.folder);
        if (rule == nullptr) {
            Violation v;
            v.kind = ViolationKind::UnknownFolder;
            v.file = file.path;
            v.message = file.folder.empty()
                            ? file.path + ": a source file outside the folders of the layer table"
                            : file.path + ": folder " + file.folder + " is not in the layer table";
            out.push_back(std::move(v));
            continue;
        }
        findForbiddenIncludes(*rule, file, out);
    }
    findIncludeCycles(files, out);
    return out;
}

std::vector<FolderEdge> folderGraph(const std::vector<SourceFile>& files)
{
    std::map<std::pair<std::string, std::string>, FolderEdge> edges;
    for (const SourceFile& file : files) {
        for (const IncludeLine& include : file.includes) {
            if (include.angle) {
                continue;
            }
            const std::string target = includedFolder(file, include);
            if (target == file.folder) {
                continue;
            }
            FolderEdge& edge = edges[{file.folder, target}];
            if (edge.count++ == 0) {
                edge.from = file.folder;
                edge.to = target;
                edge.exampleFile = file.path;
                edge.exampleLine = include.line;
                edge.exampleInclude = include.written();
            }
        }
    }
    std::vector<FolderEdge> out;
    for (auto& [key, edge] : edges) {
        out.push_back(std::move(edge));
    }
    return out;
}

std::string formatGraph(const std::vector<FolderEdge>& edges)
{
    std::size_t width = 0;
    for (const FolderEdge& edge : edges) {
        width = std::max(width, edge.from.size() + edge.to.size() + 4);
    }
    std::string out;
    for (const FolderEdge& edge : edges) {
        const std::string pair = edge.from + " -> " + edge.to;
        out += pair + std::string(width - pair.size() + 2, ' ') + std::to_string(edge.count) + "\n";
    }
    return out;
}

} // namespace qv::layers
