// tarvel-cli: runs steps on one project and its memory image, the way a
// person would use the menus, and stops at the first failure.
#include "cli/cli_args.h"
#include "cli/cli_gang_runner.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_json_writer.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/standard_descriptors.h"
#include "project/archive.h"
#include "project/project_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void PrintHelp(FILE* out)
{
    std::fprintf(out,
                 "Usage: tarvel-cli [--project FILE.tvl] [--probe PROBE ... | --sim BOARD] [--yes|--no] [--quiet]\n"
                 "                  [--verbose] [--allow-outside] [--json FILE] STEP [STEP ...]\n"
                 "       tarvel-cli --physical R [--yes|--no] [--allow-outside] STEP [STEP ...]\n"
                 "\n"
                 "Runs the steps in order on one project and its memory image and stops at the\n"
                 "first failure. Numbers are hexadecimal; a range R is START..END or START+LENGTH.\n"
                 "Without --project the steps work on a new project in memory.\n"
                 "\n"
                 "Steps:\n");
    size_t count = 0;
    const SCliStepInfo* steps = CliSteps(count);
    for (size_t i = 0; i < count; ++i)
        std::fprintf(out, "  %s\n", steps[i].usage);
    std::fprintf(out,
                 "\n"
                 "The image steps (load, store, fill, checksum) need a flash device: choose one\n"
                 "with setup --device (tarvel-cli devices TEXT finds its exact name), or work on\n"
                 "the image alone with --physical.\n"
                 "\n"
                 "Options (before, between or after the steps):\n"
                 "  --project FILE    the project file: opened first when it exists (its\n"
                 "                    autoload runs), else created by the step save\n"
                 "  --yes, --no       answer every question (replace a file, store a checksum\n"
                 "                    inside its range); without them a terminal is asked and\n"
                 "                    anything else gets No\n"
                 "  --physical R      work on the image alone, without a project or device: R is\n"
                 "                    the physical memory range and the image base is its start;\n"
                 "                    not with --project, setup or save\n"
                 "  --allow-outside   a load with bytes outside the memory range is not an error\n"
                 "  --no-device-check erase, program and flash do not read the flash's identity\n"
                 "                    (CFI query, JEDEC codes) first; without it they refuse a\n"
                 "                    flash that does not match the project's device\n"
                 "  --probe PROBE     the target steps (comm --test, erase, program, verify,\n"
                 "                    flash, dump) and the probe steps (probe-info, probe-update,\n"
                 "                    probe-netsetup) reach this probe instead of the project's\n"
                 "                    channel or loader port: HOST[:PORT] on the network (a\n"
                 "                    probe or a qdx7000-sim), or a serial DEVICE@BAUD such as\n"
                 "                    /dev/ttyUSB0@115200\n"
                 "                    Given several times: gang programming. The image steps run\n"
                 "                    once; each target step runs on every probe at the same\n"
                 "                    time, each over its own link, and the run goes on only\n"
                 "                    with the probes that passed. Lines carry the probe's name\n"
                 "                    in [ ]; a table of each probe's results ends the run.\n"
                 "                    Not with dump, flash --keep-unwritten or the probe steps.\n"
                 "  --json FILE       one JSON object per line for each step (and probe) as it\n"
                 "                    ends, and a summary object last; - is standard output\n"
                 "                    (everything else then goes to standard error)\n"
                 "  --sim BOARD       the target and probe steps run against a simulated probe in\n"
                 "                    this process, with the board file BOARD (\"default\": the\n"
                 "                    built-in demo board)\n"
                 "  --quiet, -q       no status lines and no progress: only the messages of\n"
                 "                    failures and warnings, and the results on stdout\n"
                 "  --verbose, -v     more status lines: each file format a load tries, and\n"
                 "                    a line for each span of a program, verify or dump over\n"
                 "                    many (by default one line for the step)\n"
                 "  --help, -h        this text\n"
                 "  --version, -V     the program's version\n"
                 "  --                in a step, the words after it are its files, never\n"
                 "                    options (load -- -a.s19)\n"
                 "An option's value may also follow it with =, as in --project=board.tvl.\n"
                 "\n"
                 "The probe steps connect to the probe's loader on the loader port (--port and\n"
                 "--baud, else the project's, COM1 at 9600 baud unless set) or on --probe /\n"
                 "--sim, and end by starting its firmware. probe-update takes the newest\n"
                 "firmware (QX7ARMFW.nnn) and logic (ARMJED70.nnn, ARMJED71.nnn) files from the\n"
                 "program directory: the directory of tarvel-cli, or TARVEL_PROGRAM_DIR when set.\n"
                 "\n"
                 "Messages go to stderr as \"Caption: text\"; checksums, show and devices go to\n"
                 "stdout. Progress is a bar on a terminal; in a log, one line at every 10 %%\n"
                 "and at least every 5 s with the bytes done, the rate and the time taken.\n"
                 "\n"
                 "Each run starts with an empty memory image: program and verify without\n"
                 "--range cover what this run loaded (or filled or dumped); the range kept in\n"
                 "the project is used with --range stored.\n"
                 "\n"
                 "Exit codes:\n"
                 "  0  every step succeeded\n"
                 "  1  a step failed (its message was printed); later steps did not run (with\n"
                 "     several probes: a step failed on at least one probe)\n"
                 "  2  the command line is wrong; nothing ran\n"
                 "  3  every step ran, but a load put bytes outside the image window or the\n"
                 "     physical memory range (see its warning); --allow-outside makes this 0\n"
                 "  130  Ctrl-C stopped a target operation; the connection was ended in order\n"
                 "\n"
                 "Program files: ELF (32-bit ARM executables: the bytes of their sections at\n"
                 "their load addresses), HIWARE absolute, Motorola S-record and Intel HEX are\n"
                 "found by their contents; any other file that is not text is binary data. A\n"
                 "text file that is no record file is refused unless --format binary is given.\n"
                 "\n"
                 "Environment:\n"
                 "  TARVEL_COM1 .. TARVEL_COM4  the serial device of each COM port\n"
                 "                    (default /dev/ttyS0 .. /dev/ttyS3)\n"
                 "  TARVEL_PROBE_PORT  the TCP port of a network probe (default 17000)\n"
                 "  TARVEL_IMAGE_DIR  where the run keeps its memory image (default $TMPDIR,\n"
                 "                    else /tmp)\n"
                 "  TARVEL_PROGRAM_DIR  where probe-update finds its firmware and logic files\n"
                 "                    (default the directory of tarvel-cli)\n");
}

int Usage(const std::string& error)
{
    std::fprintf(stderr, "tarvel-cli: %s\nTry 'tarvel-cli --help'.\n", error.c_str());
    return kExitUsage;
}

bool IsStepName(const std::string& word)
{
    return FindCliStep(word) != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    OpenClosedStandardDescriptors();
    // Results go to stdout, the system's messages to stderr; line-buffered
    // stdout keeps the two in the order they happened when both reach one pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    CCliArgs args(std::vector<std::string>(argv + 1, argv + argc));
    args.SetStepNameTest(IsStepName);
    CCliMessageBox::EAnswer answer = CCliMessageBox::EAnswer::Ask;
    bool allowOutside = false;
    bool noDeviceCheck = false;
    bool quiet = false;
    bool verbose = false;
    bool hasProject = false;
    std::string projectPath;
    bool imageOnly = false;
    CMemoryRange physical;
    std::vector<std::string> probes;
    std::string simBoard;
    std::string jsonPath;
    bool hasJson = false;

    // Every option and step is parsed before any runs: a typo never leaves
    // half a job done.
    std::vector<std::unique_ptr<CCliStep>> steps;
    std::vector<std::string> names;
    while (!args.AtEnd()) {
        const std::string token = args.Next();
        std::string value;
        std::string error;
        // "--" before a step: its name follows, whatever it looks like.
        const bool stepFollows = token == "--";
        if (stepFollows && args.AtEnd())
            return Usage("-- ends the command line: a step is missing");
        if (stepFollows || token.compare(0, 2, "--") != 0) {
            const std::string name = stepFollows ? args.Next() : token;
            const SCliStepInfo* info = FindCliStep(name);
            if (!info)
                return Usage("unknown step '" + name + "'");
            auto step = info->create();
            names.push_back(info->name);
            // An error of several lines (a list of candidates) says enough on its own.
            if (!step->Parse(args, error))
                return Usage(error.find('\n') == std::string::npos ? error + " (usage: " + info->usage + ")" : error);
            steps.push_back(std::move(step));
            continue;
        }
        if (token == "--help") {
            PrintHelp(stdout);
            return kExitOk;
        } else if (token == "--version") {
            std::printf("tarvel-cli %s\n", TARVEL_VERSION);
            return kExitOk;
        } else if (token == "--quiet") {
            quiet = true;
        } else if (token == "--verbose") {
            verbose = true;
        } else if (token == "--yes" || token == "--no") {
            const auto wanted = token == "--yes" ? CCliMessageBox::EAnswer::Yes : CCliMessageBox::EAnswer::No;
            if (answer != CCliMessageBox::EAnswer::Ask && answer != wanted)
                return Usage("--yes and --no exclude each other");
            answer = wanted;
        } else if (token == "--allow-outside") {
            allowOutside = true;
        } else if (token == "--no-device-check") {
            noDeviceCheck = true;
        } else if (token == "--project") {
            if (hasProject)
                return Usage("--project given twice");
            if (!args.NextValue(token, projectPath, error))
                return Usage(error);
            if (projectPath.empty())
                return Usage("--project needs a file name");
            hasProject = true;
        } else if (token == "--physical") {
            CCliArgs::SRange r;
            if (!args.NextValue(token, value, error))
                return Usage(error);
            if (!CCliArgs::ParseRange(value, r))
                return Usage("--physical wants START..END or START+LENGTH in hexadecimal");
            if (!CMemoryRange::ValidateRange(r.start, r.second, r.lengthMode, nullptr))
                return Usage("--physical: the range is empty or passes 0xFFFFFFFF");
            physical.Set(r.start, r.second, r.lengthMode);
            if (physical.GetSize() == 0)
                return Usage("--physical: a range of 4 GiB cannot be given; it holds at most FFFFFFFF bytes");
            imageOnly = true;
        } else if (token == "--probe" || token == "--sim") {
            if (!simBoard.empty() || (token == "--sim" && !probes.empty()))
                return Usage("give --probe (once or more) or --sim once, not both");
            if (!args.NextValue(token, value, error))
                return Usage(error);
            if (value.empty())
                return Usage(token + " needs a value");
            if (token == "--sim") {
                simBoard = value;
            } else {
                if (std::find(probes.begin(), probes.end(), value) != probes.end())
                    return Usage("--probe " + value + " given twice");
                probes.push_back(value);
            }
        } else if (token == "--json") {
            if (hasJson)
                return Usage("--json given twice");
            if (!args.NextValue(token, jsonPath, error))
                return Usage(error);
            hasJson = true;
        } else {
            return Usage("unknown option " + token);
        }
    }
    if (steps.empty())
        return Usage("no step given");
    if (imageOnly && hasProject)
        return Usage("--physical works on the image alone; it does not go with --project");
    const SCliRun run{hasProject, imageOnly};
    for (size_t i = 0; i < steps.size(); ++i) {
        std::string error;
        if (!steps[i]->Check(run, error))
            return Usage(error);
        if (hasJson && jsonPath == "-" && steps[i]->WritesStandardOutput())
            return Usage(names[i] + " - and --json - both want standard output: give one of them a file");
        if (probes.size() > 1 && steps[i]->Place() == ECliStepPlace::OneProbe)
            return Usage((steps[i]->OneProbeWhy().empty() ? names[i] : steps[i]->OneProbeWhy()) +
                         " works with one probe here; it does not go with several --probe");
    }
    for (const std::string& p : probes) {
        // Every probe's text is checked before anything runs.
        CCliProbe probe{CSettings{}};
        std::string error;
        if (!probe.UseProbe(p, error))
            return Usage(error);
    }
    CCliJsonWriter json;
    if (hasJson) {
        std::string error;
        if (!json.Open(jsonPath, error))
            return Usage(error);
    }

    // The one place that reads the environment: serial devices, probe port,
    // image directory.
    const CSettings settings;
    CCliSession session(answer, settings);
    session.View().SetQuiet(quiet);
    if (noDeviceCheck)
        session.deviceCheck = EDeviceCheck::Off;
    session.SetVerbose(verbose);
    session.View().SetVerbose(verbose);
    session.Box().SetQuiet(quiet);
    if (probes.size() == 1) {
        std::string error;
        if (!session.Probe().UseProbe(probes.front(), error))
            return Usage(error);
    }
    // With --json, a run that cannot start still ends with its summary.
    CCliGangRunner runner(session, probes, hasJson ? &json : nullptr, stdout);
    if (!simBoard.empty()) {
        std::string error;
        if (!session.Probe().StartSimulator(simBoard, error)) {
            std::fprintf(stderr, "tarvel-cli: --sim: %s\n", error.c_str());
            return runner.Finish(kExitFailed);
        }
    }
    if (!session.OpenImage())
        return runner.Finish(kExitFailed);
    if (imageOnly)
        session.UseImageOnly(physical);
    if (hasProject && !session.OpenProject(projectPath))
        return runner.Finish(kExitFailed);
    // The project as opened: the note about unsaved changes is given only
    // when the run changed what the file would hold.
    const auto projectBytes = [&session] {
        CArchive archive;
        CProjectFile::Serialize(session.Doc(), archive);
        return archive.TakeBuffer();
    };
    const std::vector<uint8_t> opened = hasProject ? projectBytes() : std::vector<uint8_t>{};
    std::vector<CCliGangRunner::SStep> runSteps;
    for (size_t i = 0; i < steps.size(); ++i)
        runSteps.push_back({steps[i].get(), names[i]});
    int code = runner.Run(runSteps);
    if (code == kExitOk && hasProject && session.Doc().IsModified() && !quiet && projectBytes() != opened)
        std::fprintf(stderr, "Note: the changes to project %s are not saved (the step save keeps them)\n",
                     projectPath.c_str());
    if (code == kExitOk && session.outsideSeen && !allowOutside)
        code = kExitOutside;
    return runner.Finish(code);
}
