#pragma once

#include <QDialog>

#include <memory>

class CChecksumCommand;
class CHexEdit;
class CMessageBox;
class CRangeEntryWidget;
class CStatusLineView;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Checksum": the sum of a source range in bytes, words or longs, shown for
// the destination unit and, after "&Calculate", stored into the image.
class CChecksumDialog : public QDialog {
    Q_OBJECT
public:
    CChecksumDialog(CChecksumCommand& command, CMessageBox* box = nullptr, QWidget* parent = nullptr);
    ~CChecksumDialog() override;

    void RunCalculate();
    void RunStore();

private:
    void Store();
    void Refresh();

    CChecksumCommand& command_;
    std::unique_ptr<CMessageBox> ownBox_;
    CMessageBox* box_;
    CRangeEntryWidget* range_;
    QRadioButton* sourceUnits_[3];
    QRadioButton* destUnits_[3];
    CHexEdit* dest_;
    QLineEdit* checksum_;
    QPushButton* store_;
    std::unique_ptr<CStatusLineView> view_;
};
