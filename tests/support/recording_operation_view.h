#pragma once

#include "common/operation_view.h"

#include <string>
#include <vector>

// An operation view that keeps everything it was shown, in order.
class CRecordingOperationView final : public COperationView {
public:
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void Progress(const SProgressEvent& event) override { events.push_back(event); }
    void SetWaitCursor(bool on) override
    {
        cursorDepth += on ? 1 : -1;
        cursor.push_back(on);
    }

    // The status line as it stands: the last text shown ("" before any).
    std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }
    std::string LastStatus() const { return Status(); }

    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<SProgressEvent> events;
    std::vector<bool> cursor;
    int cursorDepth = 0;
};
