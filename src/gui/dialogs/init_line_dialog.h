#pragma once

#include <QDialog>

#include <functional>

class CHexEdit;
class CInitLineEditor;
class CMessageBox;
class QComboBox;
class QLabel;
class QLineEdit;

// "Edit Init Line": one init list entry. The action type decides which
// fields are enabled, their digit counts and the labels over address and
// value (see CInitLineEditor). OK reads the fields and closes only when they
// pass their checks; Cancel leaves the editor's entry as it was.
class CInitLineDialog : public QDialog {
    Q_OBJECT
public:
    // `help` opens the manual (F1 goes to the section "Edit Init Line").
    CInitLineDialog(CInitLineEditor& editor, CMessageBox& box, QWidget* parent = nullptr,
                    const std::function<void(const QString&, QWidget*)>& help = {});
    ~CInitLineDialog() override;

    void accept() override;

private:
    void StoreFields();
    void LoadFields();
    void ApplyLayout();
    void ChangeType(int code);

    CInitLineEditor& editor_;
    CMessageBox& box_;
    QComboBox* type_;
    QLabel* addressLabel_;
    QLabel* valueLabel_;
    CHexEdit* address_;
    CHexEdit* value_;
    QLineEdit* ms_;
    QLineEdit* register_;
    QLineEdit* comment_;
};
