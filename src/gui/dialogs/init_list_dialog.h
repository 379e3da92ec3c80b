#pragma once

#include "gui/dialogs/command_dialog.h"

#include <memory>

class CInitListClipboard;
class CInitListCommand;
class CInitListEditor;
class QPushButton;
class QTreeWidget;

// "Target Init List" (captioned with the list's name): the list's entries in
// a multi-selection list under the heads "Type", "Address", "Value",
// "Comment", with New, Edit (also a double click), Delete, Copy, Paste, OK
// and Cancel. The list shown is a working copy (CInitListEditor); OK hands it
// to the command's list, Cancel drops it. In the list, Ctrl+C, Ctrl+V and
// Delete do what Copy, Paste and Delete do (while those buttons are enabled).
class CInitListDialog : public CCommandDialog {
    Q_OBJECT
public:
    CInitListDialog(CInitListCommand& command, const SDialogServices& services = {}, QWidget* parent = nullptr);
    ~CInitListDialog() override;

    void NewEntry();
    void EditEntry();
    void DeleteEntries();
    void CopyEntries();
    void PasteEntries();
    void accept() override;
    QString HelpSection() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The command a key in the list stands for (Copy, Paste, Delete), or null.
    QPushButton* ButtonForKey(const class QKeyEvent& key) const;
    void ShowLines();
    void TakeSelection();
    void UpdateButtons();

    CInitListCommand& command_;
    std::unique_ptr<CInitListEditor> editor_;
    CInitListClipboard* clipboard_;
    QTreeWidget* list_;
    QPushButton* new_;
    QPushButton* copy_;
    QPushButton* paste_;
    QPushButton* edit_;
    QPushButton* delete_;
    bool showing_ = false;
};
