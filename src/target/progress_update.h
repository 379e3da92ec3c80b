#pragma once

#include "common/operation_view.h"

#include <cstdint>

// Moves an operation's progress bar (0..100) from a total and a done count,
// for every transfer and erase. Totals above 10000 are scaled down by 100
// before the division; the position is sent only when it changes, and 100 is
// always sent.
class CProgressUpdate {
public:
    explicit CProgressUpdate(COperationView* view) : view_(view) {}

    void Update(uint64_t total, uint64_t done);
    // The last position sent (-1 before the first).
    int LastPosition() const { return last_; }

    // The position for a total and a done count (0 when the total is 0).
    static int Position(uint64_t total, uint64_t done);

private:
    COperationView* view_;
    int last_ = -1;
};
