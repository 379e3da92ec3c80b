// The bridge between an operation on its worker thread and the dialog's view:
// a flood of progress reports is folded, yet nothing the view must show is
// lost or shown out of order.
#include "gui/widgets/worker_bridge.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Records every call in the order it reached the view.
class CRecordingView final : public COperationView {
public:
    void SetStatus(const std::string& text) override { calls.push_back("status " + text); }
    void SetProgress(int percent) override { calls.push_back("bar " + std::to_string(percent)); }
    void SetWaitCursor(bool) override {}
    void Progress(const SProgressEvent& event) override { calls.push_back("done " + std::to_string(event.done)); }

    std::vector<std::string> calls;
};

// Records a box in the same list, to see where it came among the positions.
class CRecordingBox final : public CMessageBox {
public:
    explicit CRecordingBox(std::vector<std::string>& calls) : calls_(calls) {}
    EMsgResult Show(const std::string& text, const std::string&, EMsgIcon, EMsgButtons) override
    {
        calls_.push_back("box " + text);
        return EMsgResult::Ok;
    }

private:
    std::vector<std::string>& calls_;
};

TEST(WorkerBridge, FoldedProgressKeepsTheLastPositionAndTheOrderOfTexts)
{
    CRecordingView view;
    CRecordingBox box(view.calls);
    CWorkerBridge bridge;
    bridge.Attach(view, box);
    constexpr int kBlocks = 5000;
    bridge.Run([&bridge] {
        bridge.SetStatus("first");
        for (int i = 1; i <= kBlocks; ++i) {
            bridge.Progress(SProgressEvent{EOperationKind::Program, static_cast<uint64_t>(i), kBlocks});
            bridge.SetProgress(i * 100 / kBlocks);
            if (i == kBlocks / 2)
                bridge.Show("half-way", "Note", EMsgIcon::Information, EMsgButtons::Ok);
        }
        bridge.SetStatus("last");
    });

    const std::vector<std::string>& calls = view.calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls.front(), "status first");
    EXPECT_EQ(calls.back(), "status last");
    // The positions only move forward, and the final one is shown.
    uint64_t lastDone = 0;
    int lastBar = -1;
    for (const std::string& call : calls) {
        if (call.rfind("done ", 0) == 0) {
            const uint64_t done = std::stoull(call.substr(5));
            EXPECT_GT(done, lastDone) << call;
            lastDone = done;
        } else if (call.rfind("bar ", 0) == 0) {
            const int bar = std::stoi(call.substr(4));
            EXPECT_GE(bar, lastBar) << call;
            lastBar = bar;
        }
    }
    EXPECT_EQ(lastDone, static_cast<uint64_t>(kBlocks));
    EXPECT_EQ(lastBar, 100);
    EXPECT_EQ(calls[calls.size() - 2], "bar 100");
    // The box came right after the position the worker had reported before
    // it, and ahead of every later one.
    const auto at = std::find(calls.begin(), calls.end(), "box half-way");
    ASSERT_NE(at, calls.end());
    ASSERT_NE(at, calls.begin());
    EXPECT_EQ(*(at - 1), "bar 50");
    EXPECT_EQ(std::count(calls.begin(), at, "done " + std::to_string(kBlocks / 2)), 1);
}

} // namespace
