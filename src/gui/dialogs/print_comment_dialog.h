#pragma once

#include <QDialog>

#include <functional>

class CPrintCommentCommand;
class QLineEdit;
class QPlainTextEdit;

// "Print Comment": the left and right header, the report's title (80
// characters each) and the multi-line comment (Return starts a new line).
// OK copies the four texts into the command; Cancel leaves it as it was.
class CPrintCommentDialog : public QDialog {
    Q_OBJECT
public:
    // `help` opens the manual (F1 goes to the section "Print Comment").
    explicit CPrintCommentDialog(CPrintCommentCommand& command, QWidget* parent = nullptr,
                                 const std::function<void(const QString&, QWidget*)>& help = {});

    void accept() override;

private:
    CPrintCommentCommand& command_;
    QLineEdit* left_;
    QLineEdit* right_;
    QLineEdit* title_;
    QPlainTextEdit* comment_;
};
