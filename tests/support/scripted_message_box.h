#pragma once

#include "common/message_box.h"
#include "common/operation_view.h"
#include "support/recording_operation_view.h"

#include <deque>
#include <string>
#include <vector>

// Records every box shown and answers questions from a script. A question
// that was not scripted fails the running test (and answers No or Cancel, the
// safe side).
class CScriptedMessageBox final : public CMessageBox {
public:
    struct Shown {
        std::string text;
        std::string caption;
        EMsgIcon icon;
        EMsgButtons buttons;
        std::string details;
    };

    void Answer(EMsgResult result) { answers_.push_back(result); }
    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                    EMsgButtons buttons) override;
    EMsgResult ShowDetailed(const std::string& text, const std::string& caption, EMsgIcon icon,
                            EMsgButtons buttons, const std::string& details) override;

    std::vector<Shown> shown;
    int unexpectedQuestions = 0;

private:
    std::deque<EMsgResult> answers_;
};
