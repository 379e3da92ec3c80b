#pragma once

#include "common/message_box.h"
#include "common/operation_view.h"

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
    };

    void Answer(EMsgResult result) { answers_.push_back(result); }
    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                    EMsgButtons buttons) override;

    std::vector<Shown> shown;
    int unexpectedQuestions = 0;

private:
    std::deque<EMsgResult> answers_;
};

// Records what an operation showed, in order.
class CRecordingOperationView final : public COperationView {
public:
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void SetWaitCursor(bool on) override
    {
        cursorDepth += on ? 1 : -1;
        cursorEvents.push_back(on);
    }
    std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<bool> cursorEvents;
    int cursorDepth = 0;
};
