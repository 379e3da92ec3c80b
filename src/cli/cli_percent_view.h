#pragma once

#include "common/operation_view.h"

#include <string>

// Passes an operation's texts on to the command line's view but for the
// running percentages of the probe maintenance texts ("... ( 42% )"), whose
// positions come as progress as well: a log gets the steps and results, a
// terminal a progress bar, and neither a hundred lines.
class CCliPercentView final : public COperationView {
public:
    explicit CCliPercentView(COperationView& view) : view_(view) {}

    void SetStatus(const std::string& text) override
    {
        const size_t open = text.rfind("( ");
        if (open != std::string::npos && text.size() > open + 4 && text.compare(text.size() - 3, 3, "% )") == 0) {
            const std::string digits = text.substr(open + 2, text.size() - 3 - (open + 2));
            if (!digits.empty() && digits.size() <= 3 && digits.find_first_not_of("0123456789") == std::string::npos)
                return;
        }
        view_.SetStatus(text);
    }
    void SetProgress(int percent) override { view_.SetProgress(percent); }
    void SetWaitCursor(bool on) override { view_.SetWaitCursor(on); }
    void Progress(const SProgressEvent& event) override { view_.Progress(event); }
    bool CancelRequested() override { return view_.CancelRequested(); }

private:
    COperationView& view_;
};
