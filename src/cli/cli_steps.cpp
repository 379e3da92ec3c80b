#include "cli/cli_step.h"

namespace {

const SCliStepInfo kSteps[] = {
    {"setup",
     "setup [--device NAME] [--bus 8|16|32] [--base HEX] [--banks N] [--cpu NAME|CODE]\n"
     "        [--clock NAME|CODE] [--endian little|big] [--workspace HEX] [--target-algorithm on|off]\n"
     "        [--autoload on|off]",
     CreateSetupStep},
    {"load", "load FILE [--offset HEX] [--format auto|srec|hex|elf|abs|binary]   (FILE - : standard\n"
             "        input; auto finds the format, and a text file that is no record file is\n"
             "        refused unless --format binary is given)",
     CreateLoadStep},
    {"store", "store FILE --range R   (FILE - : standard output)", CreateStoreStep},
    {"fill", "fill --range R --pattern HEX --unit byte|word|long", CreateFillStep},
    {"checksum", "checksum --range R --unit byte|word|long [--store HEX --dest-unit byte|word|long]",
     CreateChecksumStep},
    {"initlist", "initlist NAME FILE | initlist NAME --export FILE   (NAME: main, pre-erase, post-erase,\n"
                 "        pre-program, post-program; one display line per entry)",
     CreateInitListStep},
    {"show", "show", CreateShowStep},
    {"report", "report --text | report --pdf FILE   (the printed setup report; FILE - : standard output)",
     CreateReportStep},
    {"save", "save [FILE]", CreateSaveStep},
    {"devices", "devices [TEXT] [--sectors]", CreateDevicesStep},
    {"comm", "comm [--channel COM1|COM2|COM3|COM4|network] [--baud 9600|19200|38400|57600|115200]\n"
             "        [--ip ADDRESS] [--test]",
     CreateCommStep},
    {"identify", "identify   (per bank: the codes and geometry the flash reports, the catalogue rows that fit)",
     CreateIdentifyStep},
    {"erase", "erase --all | erase --sectors B/S,... | erase --range R [--dry-run]   (bank/sector pairs, decimal;\n"
              "        --range: the sectors the range touches in any bank)",
     CreateEraseStep},
    {"program", "program [--range R|stored] [--dry-run]   (default: what this run loaded)", CreateProgramStep},
    {"verify", "verify [--range R|stored]   (default: what this run loaded)", CreateVerifyStep},
    {"flash", "flash FILE [--offset HEX] [--format F] [--changed-only] [--keep-unwritten] [--dry-run]\n"
              "        (load as load does, erase the sectors the data touches, program, verify)",
     CreateFlashStep},
    {"dump", "dump --range R", CreateDumpStep},
    {"probe-info", "probe-info [P]   (the probe's loader: serial number, MAC, current and newest versions)",
     CreateProbeInfoStep},
    {"probe-update", "probe-update [P]   (firmware and logic to the newest files in the program directory)",
     CreateProbeUpdateStep},
    {"probe-netsetup", "probe-netsetup --ip A --mask M --gateway G [P]   (the probe's network setup)\n"
                       "        P, the loader port: [--port COM1|COM2|COM3|COM4] [--baud 9600|19200|38400|57600]",
     CreateProbeNetSetupStep},
};

} // namespace

const SCliStepInfo* FindCliStep(const std::string& name)
{
    for (const auto& s : kSteps) {
        if (name == s.name)
            return &s;
    }
    return nullptr;
}

const SCliStepInfo* CliSteps(size_t& count)
{
    count = sizeof kSteps / sizeof kSteps[0];
    return kSteps;
}
