#pragma once

#include "gui/dialogs/command_dialog.h"

class CEditImageCommand;
class CHexEdit;
class QListWidget;
class QRadioButton;
class QScrollBar;
class QTableWidget;

// "Edit Memory Image": a page of 8 rows of 16 bytes as bytes, words or
// longs, the address and data fields with "&Go to" and "&Store", and a
// scroll bar over the physical memory range.
class CEditImageDialog : public CCommandDialog {
    Q_OBJECT
public:
    explicit CEditImageDialog(CEditImageCommand& command, const SDialogServices& services = {},
                              QWidget* parent = nullptr);
    ~CEditImageDialog() override;

    void RunGoTo();
    void RunStore();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The address field's value is what the project keeps.
    void StoreFields() override;
    void Refresh();
    void FillGrid();
    void ApplyFocus();
    void SelectUnit(int index);
    void OnScrollAction(int action);

    CEditImageCommand& command_;
    CHexEdit* address_;
    CHexEdit* data_;
    QRadioButton* units_[3];
    QListWidget* addresses_;
    QTableWidget* grid_;
    QScrollBar* scroll_;
};
