#include "layers/layer_rules.h"

#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace {

struct SLayer {
    const char* folder;
    int rank;
};

// The table of docs/architecture.md ("The layers"). A new folder under src/
// gets its row here and there.
constexpr SLayer kLayers[] = {
    {"common", 0}, {"catalogue", 1}, {"project", 2}, {"files", 3}, {"probe", 3}, {"flash", 4},
    {"commands", 5}, {"report", 6}, {"gui", 7}, {"cli", 7}, {"sim", 7},
};

} // namespace

int CLayerRules::Rank(const std::string& folder)
{
    for (const SLayer& layer : kLayers)
        if (folder == layer.folder)
            return layer.rank;
    return -1;
}

bool CLayerRules::IsFrontEnd(const std::string& folder)
{
    return folder == "gui" || folder == "cli" || folder == "sim";
}

CLayerRules::CLayerRules(const fs::path& srcRoot) : root_(srcRoot)
{
    if (!fs::is_directory(root_)) {
        breaches_.push_back(root_.string() + " is not a folder");
        return;
    }
    for (const fs::directory_entry& top : fs::directory_iterator(root_)) {
        if (!top.is_directory())
            continue;
        const std::string name = top.path().filename().string();
        if (Rank(name) < 0)
            breaches_.push_back("src/" + name + "/ has no layer (add it to the table of the layer rules and of "
                                "docs/architecture.md)");
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_)) {
        const fs::path relative = fs::relative(entry.path(), root_);
        if (entry.is_directory()) {
            const std::string name = entry.path().filename().string();
            if (name == "target" || name == "build" || name == "out" || name == "bin")
                breaches_.push_back("src/" + relative.string() + "/ reads as a build-output folder to common tools");
            continue;
        }
        const std::string extension = entry.path().extension().string();
        if (extension == ".h" || extension == ".cpp" || extension == ".hpp")
            CheckFile(entry.path(), relative.begin()->string());
    }
}

void CLayerRules::CheckFile(const fs::path& file, const std::string& top)
{
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    static const std::regex qt(R"(^(Q[A-Z]|Qt))");
    const std::string name = fs::relative(file, root_).string();
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, include))
            continue;
        const std::string target = m[2];
        if (m[1] == "<") {
            if (top != "gui" && std::regex_search(target, qt))
                breaches_.push_back(name + " includes Qt <" + target + "> outside src/gui/");
            continue;
        }
        const size_t slash = target.find('/');
        if (slash == std::string::npos)
            continue;
        const std::string folder = target.substr(0, slash);
        if (folder == top || !fs::is_directory(root_ / folder))
            continue;
        graph_[top].insert(folder);
        const int from = Rank(top);
        const int to = Rank(folder);
        if (from < 0 || to < 0)
            continue; // reported as a folder without a layer
        bool allowed;
        if (IsFrontEnd(top))
            allowed = !IsFrontEnd(folder) || (top == "cli" && folder == "sim");
        else
            allowed = to < from;
        if (!allowed)
            breaches_.push_back(name + " includes \"" + target + "\": " + top + "/ may not include " + folder + "/");
    }
}

std::string CLayerRules::GraphText() const
{
    size_t arrows = 0;
    std::string lines;
    for (const auto& [folder, targets] : graph_) {
        arrows += targets.size();
        lines += "  " + folder + " ->";
        for (const std::string& t : targets)
            lines += " " + t;
        lines += "\n";
    }
    return std::to_string(graph_.size()) + " folders, " + std::to_string(arrows) + " folder arrows\n" + lines;
}
