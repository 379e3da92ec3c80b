#include "cli/cli_load_file.h"

#include "cli/cli_session.h"
#include "commands/load_command.h"
#include "files/program_file_readers.h"

#include <cstdio>

bool CliParseLoadArgs(CCliArgs& args, const char* step, SCliLoadArgs& out, std::string& error,
                      const std::vector<std::string>& flags)
{
    const std::string name = step;
    CCliArgs::SStepArgs a;
    if (!args.TakeStep(name, {"--offset", "--format"}, 1, a, error, flags))
        return false;
    for (const std::string& flag : flags)
        if (a.Has(flag))
            out.flags.push_back(flag);
    if (a.positionals.empty()) {
        error = name + ": FILE is missing";
        return false;
    }
    out.file = a.positionals[0];
    if (a.Has("--offset") && !CCliArgs::ParseHex(a.options["--offset"], out.offset)) {
        error = name + ": --offset wants a hexadecimal number of up to 8 digits";
        return false;
    }
    if (a.Has("--format") && !CLoadModel::ParseFormat(a.options["--format"], out.format)) {
        error = name + ": --format wants auto, srec, hex, elf, abs or binary";
        return false;
    }
    return true;
}

int CliLoadFile(CCliSession& session, const SCliLoadArgs& args, CLoadCommand& command)
{
    // "-": standard input, kept in a file of the run's own directory so
    // that the readers can try it in turn.
    std::string input = args.file;
    if (args.file == "-" && !session.SpoolStandardInput(input))
        return kLoadCannotOpen;
    command.model.fileName = input;
    command.model.offset.SetValue(args.offset);
    command.model.format = args.format;
    command.model.textRule = CLoadModel::ETextRule::Refuse;
    // A log names the format found; --verbose also each format tried before it.
    command.model.showEveryTry = session.Verbose();
    const int result = command.Load(session.View(), session.Box());
    if (command.model.RefusedAsText())
        std::fprintf(stderr, "tarvel-cli: give --format binary to load a text file's characters as they are\n");
    if (args.file == "-") {
        session.RemoveSpool(); // read: the copy of standard input goes
        command.model.fileName = session.Doc().loadFileName; // the project keeps its own program file
    }
    command.StoreBack();
    if (result == kLoadOk || result == kLoadOutside) {
        for (const CMemoryRange& span : command.model.Report().spans)
            session.RecordWritten(span);
    }
    if (result == kLoadOutside)
        session.outsideSeen = true; // a warning: the run goes on, its exit code tells
    return result;
}
