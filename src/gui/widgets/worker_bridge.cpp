#include "gui/widgets/worker_bridge.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <memory>

CWorkerBridge::CWorkerBridge(QObject* parent) : QObject(parent) {}

CWorkerBridge::~CWorkerBridge() = default;

void CWorkerBridge::Attach(COperationView& view, CMessageBox& box)
{
    view_ = &view;
    box_ = &box;
}

bool CWorkerBridge::Run(const std::function<void()>& work)
{
    if (running_)
        return false;
    running_ = true;
    stop_ = false;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create(work));
    // The loop is left from the UI thread once the worker's finished signal
    // has come through, so every text the worker posted before is shown.
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec();
    // The loop also ends when the program is told to quit (a signal): the
    // operation is then asked to stop, and the events it posts meanwhile
    // (a box it shows) are still served, so that it ends its connection.
    if (!worker->isFinished()) {
        stop_ = true;
        while (!worker->wait(20))
            QCoreApplication::processEvents();
    }
    running_ = false;
    emit finished();
    return true;
}

void CWorkerBridge::Post(std::function<void()> work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(pendingMutex_);
        pending_.reset();
    }
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void CWorkerBridge::PostProgress(const std::function<void(SPendingProgress&)>& change)
{
    const auto show = [this](const SPendingProgress& update) {
        if (!view_)
            return;
        if (update.event)
            view_->Progress(*update.event);
        if (update.percent)
            view_->SetProgress(*update.percent);
    };
    if (QThread::currentThread() == thread()) {
        SPendingProgress update;
        change(update);
        show(update);
        return;
    }
    std::shared_ptr<SPendingProgress> slot;
    {
        const std::lock_guard<std::mutex> lock(pendingMutex_);
        if (pending_) {
            change(*pending_);
            return;
        }
        pending_ = std::make_shared<SPendingProgress>();
        change(*pending_);
        slot = pending_;
    }
    QMetaObject::invokeMethod(
        this,
        [this, slot, show] {
            SPendingProgress update;
            {
                const std::lock_guard<std::mutex> lock(pendingMutex_);
                update = *slot;
                if (pending_ == slot)
                    pending_.reset();
            }
            show(update);
        },
        Qt::QueuedConnection);
}

bool CWorkerBridge::OnUiThread(const std::function<bool()>& work)
{
    if (QThread::currentThread() == thread())
        return work();
    {
        const std::lock_guard<std::mutex> lock(pendingMutex_);
        pending_.reset();
    }
    bool result = false;
    QMetaObject::invokeMethod(this, [&result, &work] { result = work(); }, Qt::BlockingQueuedConnection);
    return result;
}

void CWorkerBridge::SetStatus(const std::string& text)
{
    Post([this, text] {
        if (view_)
            view_->SetStatus(text);
    });
}

void CWorkerBridge::SetProgress(int percent)
{
    PostProgress([percent](SPendingProgress& update) { update.percent = percent; });
}

void CWorkerBridge::SetWaitCursor(bool on)
{
    Post([this, on] {
        if (view_)
            view_->SetWaitCursor(on);
    });
}

void CWorkerBridge::Progress(const SProgressEvent& event)
{
    PostProgress([&event](SPendingProgress& update) { update.event = event; });
}

EMsgResult CWorkerBridge::Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                               EMsgButtons buttons)
{
    return ShowDetailed(text, caption, icon, buttons, {});
}

EMsgResult CWorkerBridge::ShowDetailed(const std::string& text, const std::string& caption, EMsgIcon icon,
                                       EMsgButtons buttons, const std::string& details)
{
    // Without a box to ask, a question gets its safe answer.
    EMsgResult result = buttons == EMsgButtons::Ok                                            ? EMsgResult::Ok
                        : buttons == EMsgButtons::YesNo || buttons == EMsgButtons::YesNoDefaultNo ? EMsgResult::No
                                                                                                  : EMsgResult::Cancel;
    OnUiThread([&] {
        if (box_)
            result = box_->ShowDetailed(text, caption, icon, buttons, details);
        return true;
    });
    return result;
}
