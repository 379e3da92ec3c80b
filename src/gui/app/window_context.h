#pragma once

#include "gui/dialogs/dialog_services.h"

#include <functional>

class CMessageBox;
class QMainWindow;

// What the main window lends the classes that carry out its menu commands:
// itself (the parent of their dialogs, its status bar), its message box, the
// services every command dialog is opened with, and the call that greys what
// the project cannot do now and keeps the title and recent entries current
// after a command.
struct SWindowContext {
    QMainWindow& window;
    CMessageBox& box;
    std::function<SDialogServices()> dialogServices;
    std::function<void()> updateCommands;
};
