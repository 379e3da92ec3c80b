#pragma once

#include <QDialog>

#include <memory>

class CFillCommand;
class CHexEdit;
class CMessageBox;
class CRangeEntryWidget;
class CStatusLineView;
class QRadioButton;

// "Fill": a range of the memory image filled with a byte, word or long pattern.
class CFillDialog : public QDialog {
    Q_OBJECT
public:
    CFillDialog(CFillCommand& command, CMessageBox* box = nullptr, QWidget* parent = nullptr);
    ~CFillDialog() override;

    void RunFill();

private:
    void Store();
    void SelectUnit(int index);

    CFillCommand& command_;
    std::unique_ptr<CMessageBox> ownBox_;
    CMessageBox* box_;
    CRangeEntryWidget* range_;
    QRadioButton* units_[3];
    CHexEdit* pattern_;
    std::unique_ptr<CStatusLineView> view_;
};
