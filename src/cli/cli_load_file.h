#pragma once

// What the steps that read a program file (load, flash) share: their
// arguments FILE [--offset HEX] [--format F], and the load itself.

#include "cli/cli_args.h"
#include "files/load_model.h"

#include <cstdint>
#include <string>
#include <vector>

class CCliSession;
class CLoadCommand;

struct SCliLoadArgs {
    std::string file; // "-": standard input
    uint32_t offset = 0;
    EProgramFormat format = EProgramFormat::Auto;
    std::vector<std::string> flags; // the step's own flags that were given
};

// Takes FILE and the options of step `step` (and any of its own `flags`);
// false with `error` set when they are wrong.
bool CliParseLoadArgs(CCliArgs& args, const char* step, SCliLoadArgs& out, std::string& error,
                      const std::vector<std::string>& flags = {});

// Runs `command` (opened on the session's project) on the file as the Load
// command does, with no one to ask whether a text file is binary data (the
// load is refused; --format binary loads it). Standard input is kept in a
// file of the run first; the project keeps its own program file then. The
// values go back to the project and the spans a completed load wrote count
// as written by this run. Answers the load result (kLoadCannotOpen when
// standard input could not be kept).
int CliLoadFile(CCliSession& session, const SCliLoadArgs& args, CLoadCommand& command);
