// The manual page and the bash completion know every option that
// tarvel-cli --help names.
#include "cli_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

namespace {

std::set<std::string> Options(const std::string& text)
{
    std::set<std::string> found;
    const std::regex option("--[a-z][a-z-]*[a-z]");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    return found;
}

TEST(CliDocs, TheManualPageAndTheCompletionKnowEveryOptionOfTheHelp)
{
    CTempDir dir;
    const SCliRun help = RunCli(dir, "--help");
    ASSERT_EQ(help.exitCode, 0);
    const std::set<std::string> options = Options(help.out);
    ASSERT_GT(options.size(), 30u) << help.out;
    // The page writes a dash as \-.
    const std::string page = ReadFileBytes(std::string(TARVEL_SOURCE_DIR) + "/docs/man/tarvel-cli.1");
    std::string man;
    for (size_t i = 0; i < page.size(); ++i)
        if (!(page[i] == '\\' && i + 1 < page.size() && page[i + 1] == '-'))
            man += page[i];
    const std::set<std::string> inMan = Options(man);
    const std::set<std::string> inCompletion =
        Options(ReadFileBytes(std::string(TARVEL_SOURCE_DIR) + "/scripts/completion/tarvel-cli"));
    for (const std::string& o : options) {
        EXPECT_TRUE(inMan.count(o)) << o << " is not in the manual page";
        EXPECT_TRUE(inCompletion.count(o)) << o << " is not in the bash completion";
    }
}

} // namespace
