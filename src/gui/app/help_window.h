#pragma once

#include <QDialog>

class QTextBrowser;

// "Help Topics": the program's manual (docs/manual.md, built into the
// program) in a window of its own beside the main window.
class CHelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};
