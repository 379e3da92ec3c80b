#pragma once

class CFileChooser;
class CMessageBox;

// What the main window hands every command dialog: the message box and the
// file chooser to use. Either may be null; the dialog then uses the
// platform's own (tests hand in scripted ones).
struct SDialogServices {
    CMessageBox* box = nullptr;
    CFileChooser* chooser = nullptr;
};
