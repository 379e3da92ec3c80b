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
    // Scrolls the manual to the heading `heading` (a dialog's caption) and
    // puts the cursor on it; false, staying where it was, when there is none.
    bool ShowSection(const QString& heading);
    // The heading the cursor is on, or the empty text.
    QString CurrentHeading() const;

private:
    QTextBrowser* browser_;
};
