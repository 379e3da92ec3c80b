#pragma once

#include <optional>
#include <string>

class QWidget;

// The file-open and file-save choosers the dialogs open ("&Change...", Open,
// Save As). The desktop program uses the platform's dialogs; tests hand in
// one of their own.
class CFileChooser {
public:
    virtual ~CFileChooser() = default;
    // `filter` in the form "Name (*.ext) | *.ext| ... ||". The answer is the
    // chosen full path, or nothing when the person cancelled.
    virtual std::optional<std::string> ChooseOpen(QWidget* owner, const std::string& filter,
                                                  const std::string& initial) = 0;
    // With `confirmReplace` the chooser itself asks before an existing file
    // is named (the project's Save As); without, the caller asks later.
    virtual std::optional<std::string> ChooseSave(QWidget* owner, const std::string& filter,
                                                  const std::string& initial, bool confirmReplace) = 0;

    // "S-Record (*.sss) | *.sss| all (*.*) | *.*||" -> "S-Record (*.sss);;all (*)":
    // the names of the pairs, joined the way Qt's file dialogs take them.
    static std::string QtFilter(const std::string& filter);

    // The choosers of the platform: an existing file for Open; for Save no
    // default extension is added.
    static CFileChooser& System();
};
