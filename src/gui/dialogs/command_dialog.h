#pragma once

#include "gui/dialogs/dialog_services.h"

#include <QDialog>

#include <functional>
#include <memory>

class CFileChooser;
class CMessageBox;
class COperationView;
class CStatusLineView;
class QLabel;
class QProgressBar;
class QPushButton;

// The skeleton every command dialog shares: its object name and caption,
// the message box (the one handed in, or a Qt box of its own), the file
// chooser, the operation view behind its status line (or only the wait
// cursor when it has none), the "Close" button, and the values of its
// controls going back to the command whenever the dialog closes, however it
// is closed (Close, Escape, the window's close button). F1 opens the manual
// at the section whose heading is the dialog's caption (docs/manual.md has
// one for every dialog).
//
// A dialog derives from it, builds its controls in its constructor, and
// overrides StoreFields() to copy its controls into the command's model.
// The layout is code, not a Designer file: several dialogs build their
// controls at run time from the project (the sector grid, the device lists),
// every control carries an object name and mnemonic that tests drive, and one
// way of building keeps all dialogs alike.
class CCommandDialog : public QDialog {
    Q_OBJECT
public:
    ~CCommandDialog() override;

    CMessageBox& Box() const { return *box_; }
    CFileChooser& Chooser() const { return *chooser_; }
    COperationView& View() const;
    // The manual's section for this dialog: its caption.
    virtual QString HelpSection() const { return windowTitle(); }
    // The way to the manual the dialog was given (empty: none), for the
    // dialogs it opens.
    const std::function<void(const QString&, QWidget*)>& Help() const { return help_; }

protected:
    CCommandDialog(const char* objectName, const QString& caption, const SDialogServices& services,
                   QWidget* parent);

    // A status line under the controls ("statusLine"), optionally with the
    // progress bar an operation moves; the operation view writes to both.
    QLabel* CreateStatusLine(QProgressBar* progress = nullptr);
    // "Close" (or `text`), named "closeButton": closes the dialog.
    QPushButton* CreateCloseButton(const QString& text = QString());
    // A push button named `objectName`. Enter presses the dialog's default
    // button only: any other button takes Enter only while it has the focus.
    QPushButton* CreateButton(const QString& text, const char* objectName, bool isDefault = false);

    // The controls' values into the command's model. Called when the dialog
    // closes and by the dialog itself before it runs its command.
    virtual void StoreFields() {}

private:
    std::unique_ptr<CMessageBox> ownBox_;
    CMessageBox* box_;
    CFileChooser* chooser_;
    std::unique_ptr<CStatusLineView> view_;
    std::function<void(const QString&, QWidget*)> help_;
};
