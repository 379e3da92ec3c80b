#include "cli/cli_program_directory.h"

#include "common/settings.h"

#include <filesystem>
#include <system_error>

std::string CliProgramDirectory(const CSettings& settings)
{
    const std::string configured = settings.Get(ESetting::ProgramDirectory);
    if (!configured.empty())
        return configured;
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || executable.empty())
        return ".";
    return executable.parent_path().string();
}
