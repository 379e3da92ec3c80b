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
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

bool CWorkerBridge::OnUiThread(const std::function<bool()>& work)
{
    if (QThread::currentThread() == thread())
        return work();
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
    Post([this, percent] {
        if (view_)
            view_->SetProgress(percent);
    });
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
    Post([this, event] {
        if (view_)
            view_->Progress(event);
    });
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
