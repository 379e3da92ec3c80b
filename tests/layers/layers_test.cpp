// The layers of src/ hold: checked on the repository's own sources, and the
// check itself shown to catch each kind of breach on a small planted tree.
#include "layers/layer_rules.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

std::string Join(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

TEST(Layers, TheSourcesKeepTheirLayers)
{
    const CLayerRules rules(fs::path(TARVEL_SOURCE_DIR) / "src");
    EXPECT_TRUE(rules.Breaches().empty()) << Join(rules.Breaches());
    EXPECT_GE(rules.Graph().size(), 8u) << "the walk found the folders";
    RecordProperty("graph", rules.GraphText());
}

class PlantedTree : public ::testing::Test {
protected:
    void Put(const std::string& file, const std::string& text)
    {
        const fs::path path = dir.Path() / "src" / file;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    std::vector<std::string> Breaches() { return CLayerRules(dir.Path() / "src").Breaches(); }

    CTempDir dir;
};

TEST_F(PlantedTree, AcceptsIncludesDownwardsAndFromTheFrontEnds)
{
    Put("common/clock.h", "#include <chrono>\n");
    Put("project/qpg_doc.h", "#include \"common/clock.h\"\n#include \"catalogue/flash_catalogue.h\"\n");
    Put("catalogue/flash_catalogue.h", "#pragma once\n");
    Put("gui/app/main_frame.h", "#include <QMainWindow>\n#include \"project/qpg_doc.h\"\n");
    Put("cli/main.cpp", "#include \"sim/probe_sim.h\"\n#include \"project/qpg_doc.h\"\n");
    Put("sim/probe_sim.h", "#include \"common/clock.h\"\n");
    EXPECT_EQ(Breaches(), std::vector<std::string>{});
}

TEST_F(PlantedTree, EachKindOfBreachIsNamed)
{
    struct Case {
        const char* file;
        const char* text;
        const char* breach;
    };
    const Case cases[] = {
        {"common/text.cpp", "#include \"project/qpg_doc.h\"\n",
         "common/text.cpp includes \"project/qpg_doc.h\": common/ may not include project/"},
        {"files/a.cpp", "#include \"probe/b.h\"\n", "files/a.cpp includes \"probe/b.h\": files/ may not include probe/"},
        {"flash/c.cpp", "#include \"gui/app/main_frame.h\"\n",
         "flash/c.cpp includes \"gui/app/main_frame.h\": flash/ may not include gui/"},
        {"project/d.cpp", "#include <QString>\n", "project/d.cpp includes Qt <QString> outside src/gui/"},
        {"sim/e.cpp", "#include \"cli/main.h\"\n", "sim/e.cpp includes \"cli/main.h\": sim/ may not include cli/"},
        {"gui/f.cpp", "#include \"cli/main.h\"\n", "gui/f.cpp includes \"cli/main.h\": gui/ may not include cli/"},
        {"tools/g.cpp", "", "src/tools/ has no layer (add it to the table of the layer rules and of "
                            "docs/architecture.md)"},
        {"probe/build/h.cpp", "", "src/probe/build/ reads as a build-output folder to common tools"},
    };
    Put("project/qpg_doc.h", "");
    Put("probe/b.h", "");
    Put("gui/app/main_frame.h", "");
    Put("cli/main.h", "");
    for (const Case& c : cases) {
        const fs::path planted = dir.Path() / "src" / c.file;
        Put(c.file, c.text);
        EXPECT_EQ(Breaches(), std::vector<std::string>{c.breach}) << c.file;
        fs::remove(planted);
        std::error_code notEmpty;
        fs::remove(planted.parent_path(), notEmpty); // a folder of its own goes too
    }
}

} // namespace
