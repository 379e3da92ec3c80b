#pragma once

#include "common/operation_view.h"

#include <string>
#include <vector>

// An operation view that keeps everything it was shown, in order.
class CRecordingOperationView final : public COperationView {
public:
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void SetWaitCursor(bool on) override
    {
        cursorDepth += on ? 1 : -1;
        cursor.push_back(on);
    }

    void Progress(const SProgressEvent& event) override { events.push_back(event); }
    void Detail(const std::string& text) override { details.push_back(text); }
    // Asks to stop once `cancelAfterEvents` progress events have come (never when negative).
    bool CancelRequested() override
    {
        return cancelAfterEvents >= 0 && events.size() >= static_cast<size_t>(cancelAfterEvents);
    }

    // The status line as it stands: the last text shown ("" before any).
    std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }
    std::string LastStatus() const { return Status(); }

    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<bool> cursor;
    std::vector<SProgressEvent> events;
    std::vector<std::string> details;
    int cursorDepth = 0;
    int cancelAfterEvents = -1;
};
