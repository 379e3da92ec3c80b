#pragma once

#include "common/operation_view.h"

#include <cstdint>

// Moves an operation's progress bar (0..100) for every erase and transfer, one
// object per operation. Update(total, done): when the total exceeds 10000,
// both numbers are first divided by 100; the position is done x 100 / total
// (0 for a total of 0), at most 100. A position is sent to the view only when
// it differs from the last one sent, or is 100. The first position of an
// operation is always sent.
class CProgressUpdate {
public:
    explicit CProgressUpdate(COperationView& view, EOperationKind kind = EOperationKind::Other)
        : view_(view), kind_(kind)
    {
    }

    void Update(uint64_t total, uint64_t done);
    // Moves the bar to 100 (the end of a successful operation).
    void Finish();

    // The position that Update gives for (total, done), without sending it.
    static int Position(uint64_t total, uint64_t done);
    // The `done` of the last Update (0 before the first).
    uint64_t LastDone() const { return lastDone_; }
    // The last position sent; -1 before the first.
    int LastSent() const { return last_; }

private:
    void Send(int position);

    COperationView& view_;
    EOperationKind kind_;
    int last_ = -1;
    uint64_t lastDone_ = 0;
};
