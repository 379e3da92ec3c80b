#pragma once

#include <string>

class CSettings;

// The program directory, where the probe's firmware and logic files lie: the
// ProgramDirectory setting (environment TARVEL_PROGRAM_DIR) when it is set,
// else the directory of the running executable.
std::string CliProgramDirectory(const CSettings& settings);
