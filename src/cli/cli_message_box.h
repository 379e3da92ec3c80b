#pragma once

#include "common/message_box.h"

#include <string>
#include <vector>

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

    // The first error box since Forget (a step's failure for its report),
    // with the status lines that stood when it was shown (`statusLines`,
    // when given, tells them).
    const std::string& FirstError() const { return firstError_; }
    const std::vector<std::string>& StatusAtFirstError() const { return statusAtFirstError_; }
    void Forget()
    {
        firstError_.clear();
        statusAtFirstError_.clear();
    }
    void FollowStatus(const std::vector<std::string>* statusLines) { statusLines_ = statusLines; }

    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                    EMsgButtons buttons) override;

private:
    EAnswer answer_;
    std::string firstError_;
    std::vector<std::string> statusAtFirstError_;
    const std::vector<std::string>* statusLines_ = nullptr;
    bool quiet_ = false;
};
