#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

// The layers of src/: every folder directly under src/ has a rank, and a
// core folder includes only folders of a lower rank (so the core has no
// cycle and never reaches a front end). The front ends (gui, cli, sim) may
// include the core; among themselves only cli may include sim (its
// in-process simulator). Qt headers appear in gui/ only, and no folder is
// named like a build output that common tools skip (target, build, out, bin).
class CLayerRules {
public:
    // The folder include graph of `srcRoot` (the src/ folder) and the
    // breaches of the rules above, each a sentence naming file and include.
    explicit CLayerRules(const std::filesystem::path& srcRoot);

    const std::vector<std::string>& Breaches() const { return breaches_; }
    // folder -> the other top folders it includes
    const std::map<std::string, std::set<std::string>>& Graph() const { return graph_; }
    // "8 folders, 30 folder arrows" and each folder's arrows, one per line.
    std::string GraphText() const;

    // The rank of a top folder; -1 for a folder the table does not know.
    static int Rank(const std::string& folder);
    static bool IsFrontEnd(const std::string& folder);

private:
    void CheckFile(const std::filesystem::path& file, const std::string& top);

    std::filesystem::path root_;
    std::vector<std::string> breaches_;
    std::map<std::string, std::set<std::string>> graph_;
};
