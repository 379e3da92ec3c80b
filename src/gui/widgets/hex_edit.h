#pragma once

#include <QLineEdit>

class CHexField;

// The edit of a hexadecimal field: as many characters as the field has
// digits, only hexadecimal digits, control keys, "-" and "." let through,
// letters shown upper case. The field holds the text; Load shows it, Store
// takes what was typed (the dialogs' data exchange).
class CHexEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CHexEdit(QWidget* parent = nullptr);

    // Binds the edit to `field` (which must outlive it) and shows its text.
    void Bind(CHexField* field);
    // Field -> edit: the text and the digit count.
    void Load();
    // Edit -> field.
    void Store();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    CHexField* field_ = nullptr;
};
