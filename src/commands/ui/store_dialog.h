#pragma once

#include <QDialog>

#include <memory>

class CFileChooser;
class CMessageBox;
class CRangeEntryWidget;
class CStatusLineView;
class CStoreCommand;
class QLabel;
class QLineEdit;

// "Store": a range of the memory image written to an S-record file.
class CStoreDialog : public QDialog {
    Q_OBJECT
public:
    // `box` and `chooser` default to the platform's (owned by this dialog).
    CStoreDialog(CStoreCommand& command, CMessageBox* box = nullptr, CFileChooser* chooser = nullptr,
                 QWidget* parent = nullptr);
    ~CStoreDialog() override;

    void RunStore();
    void FitToImage();
    void ChooseFile();

private:
    void Store();

    CStoreCommand& command_;
    std::unique_ptr<CMessageBox> ownBox_;
    CMessageBox* box_;
    CFileChooser* chooser_;
    CRangeEntryWidget* range_;
    QLineEdit* fileName_;
    QLabel* status_;
    std::unique_ptr<CStatusLineView> view_;
};
