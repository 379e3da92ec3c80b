#include "target/progress_update.h"

int CProgressUpdate::Position(uint64_t total, uint64_t done)
{
    if (total > 10000) {
        total /= 100;
        done /= 100;
    }
    if (total == 0)
        return 0;
    return static_cast<int>(done * 100 / total);
}

void CProgressUpdate::Update(uint64_t total, uint64_t done)
{
    const int position = Position(total, done);
    if (position == last_ && position != 100)
        return;
    last_ = position;
    if (view_)
        view_->SetProgress(position);
}
