#pragma once

#include <functional>

class CFileChooser;
class CMessageBox;

class QString;
class QWidget;

// What the main window hands every command dialog: the message box and the
// file chooser to use, and the way to the manual. Box and chooser may be
// null; the dialog then uses the platform's own (tests hand in scripted
// ones). Without `help`, F1 does nothing in the dialog.
struct SDialogServices {
    CMessageBox* box = nullptr;
    CFileChooser* chooser = nullptr;
    // Opens the manual at the section with this heading, over `dialog`.
    std::function<void(const QString& section, QWidget* dialog)> help = {};
};

// F1 in `dialog` opens the manual at the section `section()` names (asked at
// each press: a caption may change). Nothing without `help`.
void AddHelpKey(QWidget* dialog, const std::function<void(const QString& section, QWidget* dialog)>& help,
                const std::function<QString()>& section);
