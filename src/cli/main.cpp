// tarvel-cli: runs steps on one memory image, the way a person would use
// the menus, and stops at the first failure.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void PrintHelp(FILE* out)
{
    std::fprintf(out,
                 "Usage: tarvel-cli [--yes|--no] [--physical R] [--allow-outside] STEP [STEP ...]\n"
                 "\n"
                 "Runs the steps in order on one memory image and stops at the first failure.\n"
                 "Numbers are hexadecimal; a range R is START..END or START+LENGTH.\n"
                 "\n"
                 "Steps:\n");
    size_t count = 0;
    const SCliStepInfo* steps = CliSteps(count);
    for (size_t i = 0; i < count; ++i)
        std::fprintf(out, "  %s\n", steps[i].usage);
    std::fprintf(out,
                 "\n"
                 "Options:\n"
                 "  --yes, --no       answer every question (replace a file, store a checksum\n"
                 "                    inside its range); without them a terminal is asked and\n"
                 "                    anything else gets No\n"
                 "  --physical R      the physical memory range (default 0+10000000); the image\n"
                 "                    base is its start\n"
                 "  --allow-outside   a load with bytes outside the memory range is not an error\n"
                 "  --help            this text\n"
                 "\n"
                 "Messages go to stderr as \"Caption: text\"; the checksum goes to stdout.\n"
                 "\n"
                 "Exit codes:\n"
                 "  0  every step succeeded\n"
                 "  1  a step failed (its message was printed); later steps did not run\n"
                 "  2  the command line is wrong; nothing ran\n"
                 "  3  every step ran, but a load put bytes outside the image window or the\n"
                 "     physical memory range (see its warning); --allow-outside makes this 0\n");
}

int Usage(const std::string& error)
{
    std::fprintf(stderr, "tarvel-cli: %s\nTry 'tarvel-cli --help'.\n", error.c_str());
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    CCliArgs args(std::vector<std::string>(argv + 1, argv + argc));
    CCliMessageBox::EAnswer answer = CCliMessageBox::EAnswer::Ask;
    CMemoryRange physical(0, 0x10000000, 1);
    bool allowOutside = false;

    while (!args.AtEnd() && args.Peek().compare(0, 2, "--") == 0) {
        const std::string option = args.Next();
        std::string value;
        std::string error;
        if (option == "--help") {
            PrintHelp(stdout);
            return kExitOk;
        } else if (option == "--yes" || option == "--no") {
            const auto wanted = option == "--yes" ? CCliMessageBox::EAnswer::Yes : CCliMessageBox::EAnswer::No;
            if (answer != CCliMessageBox::EAnswer::Ask && answer != wanted)
                return Usage("--yes and --no exclude each other");
            answer = wanted;
        } else if (option == "--allow-outside") {
            allowOutside = true;
        } else if (option == "--physical") {
            CCliArgs::SRange r;
            if (!args.NextValue(option, value, error))
                return Usage(error);
            if (!CCliArgs::ParseRange(value, r))
                return Usage("--physical wants START..END or START+LENGTH in hexadecimal");
            if (!CMemoryRange::ValidateRange(r.start, r.second, r.lengthMode, nullptr))
                return Usage("--physical: the range is empty or passes 0xFFFFFFFF");
            physical.Set(r.start, r.second, r.lengthMode);
            if (physical.GetSize() == 0)
                return Usage("--physical: a range of 4 GiB cannot be given; it holds at most FFFFFFFF bytes");
        } else {
            return Usage("unknown option " + option);
        }
    }
    if (args.AtEnd())
        return Usage("no step given");

    // Every step is parsed before any runs: a typo never leaves half a job done.
    std::vector<std::unique_ptr<CCliStep>> steps;
    while (!args.AtEnd()) {
        const std::string name = args.Next();
        const SCliStepInfo* info = FindCliStep(name);
        if (!info)
            return Usage("unknown step '" + name + "'");
        auto step = info->create();
        std::string error;
        if (!step->Parse(args, error))
            return Usage(error + " (usage: " + info->usage + ")");
        steps.push_back(std::move(step));
    }

    CCliSession session(physical, answer);
    if (!session.OpenImage())
        return kExitFailed;
    for (auto& step : steps) {
        const int code = step->Run(session);
        if (code != kExitOk)
            return code;
    }
    return session.outsideSeen && !allowOutside ? kExitOutside : kExitOk;
}
