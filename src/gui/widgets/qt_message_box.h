#pragma once

#include "common/message_box.h"

class QWidget;

// The message box of the desktop program: a modal QMessageBox owned by
// `owner`, under the application title when the caller names no caption.
class CQtMessageBox final : public CMessageBox {
public:
    explicit CQtMessageBox(QWidget* owner = nullptr) : owner_(owner) {}

    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                    EMsgButtons buttons) override;
    EMsgResult ShowDetailed(const std::string& text, const std::string& caption, EMsgIcon icon,
                            EMsgButtons buttons, const std::string& details) override;

private:
    QWidget* owner_;
};
