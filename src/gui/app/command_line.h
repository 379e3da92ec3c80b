#pragma once

#include <string>
#include <vector>

// The desktop program's command line: `tarvel [--screenshots DIR] [FILE.tvl]`,
// `--help` and `--version`. Arguments are the bytes the system gave: a
// project name that is not valid UTF-8 reaches the project unchanged.
class CCommandLine {
public:
    enum class EAction { Run, Help, Version, Error };

    // `arguments` without the program name. Qt's own options (-platform,
    // -style, ...) must be taken out first; anything else starting with "-"
    // is an error. After "--" every argument is a file name.
    explicit CCommandLine(const std::vector<std::string>& arguments);

    // Whether `arguments` ask for the help text or the version, or hold an
    // option that is neither ours nor Qt's (Error), so that these answer
    // before the display is opened; Run otherwise.
    static EAction Early(const std::vector<std::string>& arguments);

    EAction Action() const { return action_; }
    const std::string& Error() const { return error_; }
    const std::string& File() const { return file_; }
    const std::string& Screenshots() const { return screenshots_; }

    static std::string HelpText();
    static std::string VersionText();

private:
    EAction action_ = EAction::Run;
    std::string error_;
    std::string file_;
    std::string screenshots_;
};
