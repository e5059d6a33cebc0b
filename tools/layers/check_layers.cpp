// check_layers: fails when a source file includes a folder the layer table does not allow it, or
// when the table or the tree's includes go round in a cycle of folders.
#include "tools/layers/layer_rules.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kClean = 0;
constexpr int kViolations = 1;
constexpr int kBadInput = 2;

constexpr std::string_view kUsage = "usage: check_layers [--table FILE] [--graph] ROOT\n";

int usage(std::string_view problem)
{
    std::cerr << "check_layers: " << problem << "\n" << kUsage;
    return kBadInput;
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    namespace layers = qv::layers;

    std::optional<fs::path> tableFile;
    std::optional<fs::path> root;
    bool graph = false;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--graph") {
            graph = true;
        } else if (argument == "--table") {
            if (i + 1 == arguments.size()) {
                return usage("--table needs a file");
            }
            tableFile = arguments[++i];
        } else if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return kClean;
        } else if (argument.starts_with("-") || root) {
            return usage("unexpected argument " + argument);
        } else {
            root = argument;
        }
    }
    if (!root) {
        return usage("no root folder given");
    }
    std::error_code error;
    if (!fs::is_directory(*root, error)) {
        return usage(root->string() + " is not a folder");
    }

    const layers::ParsedTable parsed =
        layers::readLayerTable(tableFile.value_or(*root / "tools" / "layers" / "layers.txt"));
    if (!parsed.errors.empty()) {
        for (const std::string& problem : parsed.errors) {
            std::cerr << problem << "\n";
        }
        return kBadInput;
    }

    const std::vector<layers::SourceFile> files = layers::scanTree(*root, parsed.table);
    if (graph) {
        std::cout << layers::formatGraph(layers::folderGraph(files));
        return kClean;
    }
    const std::vector<layers::Violation> violations = layers::checkLayers(parsed.table, files);
    for (const layers::Violation& violation : violations) {
        std::cout << violation.message << "\n";
    }
    if (!violations.empty()) {
        std::cerr << "check_layers: " << violations.size() << " layer violation"
                  << (violations.size() == 1 ? "" : "s") << " in " << files.size() << " files\n";
        return kViolations;
    }
    std::cout << "check_layers: " << files.size() << " files, no layer violations\n";
    return kClean;
}
