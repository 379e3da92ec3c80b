#pragma once

#include "common/operation_view.h"

// The command line's operation view: status lines on stderr, and a progress
// bar when stderr is a terminal (nothing otherwise: the status lines are the
// plain record).
class CCliOperationView final : public COperationView {
public:
    CCliOperationView();
    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;
    // The wait cursor brackets a target operation: Ctrl-C asks it to stop meanwhile.
    void SetWaitCursor(bool on) override;
    bool CancelRequested() override;

private:
    void EndBar();

    bool terminal_;
    bool barShown_ = false;
};
