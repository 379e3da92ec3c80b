#pragma once

#include "gui/dialogs/command_dialog.h"

class CHexEdit;
class CLoadCommand;
class QCheckBox;
class QLabel;
class CFileNameEdit;
class QPushButton;

// "Load": the program file, its load offset and the autoload option, and the
// "&Load" button that runs the command. Opened for an autoload, it loads at
// once and closes itself when the load succeeded.
class CLoadDialog : public CCommandDialog {
    Q_OBJECT
public:
    CLoadDialog(CLoadCommand& command, const SDialogServices& services = {}, QWidget* parent = nullptr);
    ~CLoadDialog() override;

    // "&Load": the controls' values into the model, then the load.
    void RunLoad();
    // "&Change...": the file chooser; the chosen path goes into the file name field.
    void ChooseFile();
    // The result of the last load (-1: none ran yet).
    int LastResult() const { return lastResult_; }

private:
    void StoreFields() override;

    CLoadCommand& command_;
    CFileNameEdit* fileName_;
    QCheckBox* autoload_;
    CHexEdit* offset_;
    int lastResult_ = -1;
};
