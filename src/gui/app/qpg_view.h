#pragma once

#include <QWidget>

// The main window's client area. It shows nothing of its own until the
// setup report is printed from it.
class CQpgView : public QWidget {
    Q_OBJECT
public:
    explicit CQpgView(QWidget* parent = nullptr);
};
