#pragma once

#include "common/message_box.h"

// The command line's message box: prints "Caption: text" to stderr (the
// application title when the caption is empty) and answers questions from
// --yes / --no; without either it asks on a terminal and answers No when
// there is none, so that nothing is overwritten unasked.
class CCliMessageBox final : public CMessageBox {
public:
    enum class EAnswer { Ask, Yes, No };

    explicit CCliMessageBox(EAnswer answer = EAnswer::Ask) : answer_(answer) {}
    void SetAnswer(EAnswer answer) { answer_ = answer; }
    // --quiet: a question that --yes or --no answers is not printed.
    void SetQuiet(bool quiet) { quiet_ = quiet; }

    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                    EMsgButtons buttons) override;

private:
    EAnswer answer_;
    bool quiet_ = false;
};
