#pragma once

#include "gui/dialogs/command_dialog.h"

class CRangeEntryWidget;
class CStoreCommand;
class CFileNameEdit;

// "Store": a range of the memory image written to an S-record file.
class CStoreDialog : public CCommandDialog {
    Q_OBJECT
public:
    CStoreDialog(CStoreCommand& command, const SDialogServices& services = {}, QWidget* parent = nullptr);
    ~CStoreDialog() override;

    void RunStore();
    void FitToImage();
    void ChooseFile();

private:
    void StoreFields() override;

    CStoreCommand& command_;
    CRangeEntryWidget* range_;
    CFileNameEdit* fileName_;
};
