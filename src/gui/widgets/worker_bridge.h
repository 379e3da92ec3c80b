#pragma once

#include "common/message_box.h"
#include "common/operation_view.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Runs a target operation on a worker thread while the window stays alive.
//
// The operation talks to the person through this object, which is its
// COperationView and CMessageBox: status texts, bar positions and progress
// events travel to the dialog's own view on the user-interface thread, a
// message box or a question is shown there while the worker waits for the
// answer, and the stop request is a flag the worker reads between blocks.
// Run() returns when the operation has ended; meanwhile the user-interface
// thread goes on painting and handling events (the dialog lets only its
// Stop through).
class CWorkerBridge final : public QObject, public COperationView, public CMessageBox {
    Q_OBJECT
public:
    explicit CWorkerBridge(QObject* parent = nullptr);
    ~CWorkerBridge() override;

    // Where the operation's texts and boxes go (both live on the UI thread).
    void Attach(COperationView& view, CMessageBox& box);

    // Runs `work` on a worker thread and processes the UI thread's events
    // until it has ended. The stop flag is cleared first. Not re-entrant:
    // a second call while one runs does nothing and answers false.
    bool Run(const std::function<void()>& work);
    bool Running() const { return running_; }

    // Runs `work` on the UI thread and answers its result; from the worker
    // it waits for the answer (a dialog the operation opens, a question).
    bool OnUiThread(const std::function<bool()>& work);

    // The person's wish to stop; the operation asks CancelRequested().
    void RequestStop() { stop_ = true; }
    bool StopRequested() const { return stop_; }

    // COperationView, callable from either thread.
    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;
    void SetWaitCursor(bool on) override;
    void Progress(const SProgressEvent& event) override;
    bool CancelRequested() override { return stop_; }

    // CMessageBox, callable from either thread.
    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                    EMsgButtons buttons) override;
    EMsgResult ShowDetailed(const std::string& text, const std::string& caption, EMsgIcon icon,
                            EMsgButtons buttons, const std::string& details) override;

signals:
    // The operation has ended (emitted on the UI thread).
    void finished();

private:
    // The latest progress event and bar position not yet shown. A fast link
    // reports blocks faster than the window can draw them: consecutive
    // reports are folded into one pending update, so that the user-interface
    // thread never falls behind a queue of stale positions (and its timers,
    // input and painting keep their turn).
    struct SPendingProgress {
        std::optional<SProgressEvent> event;
        std::optional<int> percent;
    };

    // `work` on the UI thread: at once there, queued from the worker. Any
    // other post ends the pending progress update, so the order of texts holds.
    void Post(std::function<void()> work);
    // Folds a progress report into the pending update, posting one when none waits.
    void PostProgress(const std::function<void(SPendingProgress&)>& change);

    COperationView* view_ = nullptr;
    CMessageBox* box_ = nullptr;
    std::mutex pendingMutex_;
    std::shared_ptr<SPendingProgress> pending_; // open for folding while not yet shown
    std::atomic<bool> stop_{false};
    bool running_ = false;
};
