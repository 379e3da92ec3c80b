#pragma once

#include <QDialog>

// "About Tarvel": the program icon, "Flashprogramming for ARM",
// "Version 1.13 (QDX7000)" and OK.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    static constexpr const char* kProduct = "Flashprogramming for ARM";
    static constexpr const char* kVersion = "Version 1.13 (QDX7000)";
};
