#pragma once

#include <QDialog>

#include <memory>

class CFileChooser;
class CHexEdit;
class CLoadCommand;
class CMessageBox;
class CStatusLineView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Load": the program file, its load offset and the autoload option, and the
// "&Load" button that runs the command. Opened for an autoload, it loads at
// once and closes itself when the load succeeded.
class CLoadDialog : public QDialog {
    Q_OBJECT
public:
    // `box` and `chooser` default to the platform's (owned by this dialog).
    CLoadDialog(CLoadCommand& command, CMessageBox* box = nullptr, CFileChooser* chooser = nullptr,
                QWidget* parent = nullptr);
    ~CLoadDialog() override;

    // "&Load": the controls' values into the model, then the load.
    void RunLoad();
    // "&Change...": the file chooser; the chosen path goes into the file name field.
    void ChooseFile();
    // The result of the last load (-1: none ran yet).
    int LastResult() const { return lastResult_; }

private:
    void Store();

    CLoadCommand& command_;
    std::unique_ptr<CMessageBox> ownBox_;
    CMessageBox* box_;
    CFileChooser* chooser_;
    QLineEdit* fileName_;
    QCheckBox* autoload_;
    CHexEdit* offset_;
    QLabel* status_;
    std::unique_ptr<CStatusLineView> view_;
    int lastResult_ = -1;
};
