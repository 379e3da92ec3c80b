#include "flash/progress_update.h"

#include "common/operation_view.h"

int CProgressUpdate::Position(uint64_t total, uint64_t done)
{
    if (total > 10000) {
        total /= 100;
        done /= 100;
    }
    if (total == 0)
        return 0;
    const uint64_t position = done * 100 / total;
    return position > 100 ? 100 : static_cast<int>(position);
}

void CProgressUpdate::Update(uint64_t total, uint64_t done)
{
    lastDone_ = done;
    view_.Progress({kind_, done, total});
    Send(Position(total, done));
}

void CProgressUpdate::Finish()
{
    Send(100);
}

void CProgressUpdate::Send(int position)
{
    if (position == last_ && position != 100)
        return;
    last_ = position;
    view_.SetProgress(position);
}
