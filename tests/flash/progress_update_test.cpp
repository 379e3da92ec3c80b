// The shared progress update: scaling of large totals, the position, and
// sending a position only when it changes or is 100.
#include "support/recording_operation_view.h"
#include "flash/progress_update.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressUpdate, PositionFromTotalAndDone)
{
    struct SCase {
        uint64_t total, done;
        int position;
    };
    const SCase cases[] = {
        {0, 0, 0},          {0, 5, 0},              {4, 1, 25},          {3, 2, 66},
        {10000, 9999, 99},  {20000, 10099, 50},     {20000, 199, 0},     {20000, 200, 1},
        // Above 10000 both are divided by 100 first: 10050 / 100 = 100 and
        // 10049 / 100 = 100 make the bar full before the last byte.
        {10050, 10049, 100}, {3000000000ull, 1500000000ull, 50}, {4, 9, 100},
        {10000, 5000, 50},  {20000, 19999, 99},     {0xFFFFFFFFull, 0xFFFFFFFFull, 100},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(CProgressUpdate::Position(c.total, c.done), c.position) << c.total << " " << c.done;
}

TEST(ProgressUpdate, SendsOnlyChangedPositionsAndEvery100)
{
    CRecordingOperationView view;
    CProgressUpdate progress(view);
    for (uint64_t done = 0; done <= 20000; done += 50)
        progress.Update(20000, done);
    progress.Update(20000, 20000);
    progress.Finish();
    ASSERT_EQ(view.progress.size(), 103u);
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(view.progress[static_cast<size_t>(i)], i);
    EXPECT_EQ(view.progress[101], 100);
    EXPECT_EQ(view.progress[102], 100);
    EXPECT_EQ(progress.LastSent(), 100);
}

TEST(ProgressUpdate, TheFirstPositionIsAlwaysSent)
{
    CRecordingOperationView view;
    CProgressUpdate progress(view);
    progress.Update(0, 0);
    progress.Update(10, 0);
    EXPECT_EQ(view.progress, std::vector<int>{0});
}

} // namespace
