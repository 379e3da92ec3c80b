#include "gui/app/signal_exit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnSignalWrite(int signal)
{
    const unsigned char code = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &code, 1);
}

} // namespace

CSignalExit::CSignalExit(QObject* parent) : QObject(parent)
{
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CSignalExit::OnSignal);
    for (int s : kSignals) {
        struct sigaction action {};
        action.sa_handler = OnSignalWrite;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(s, &action, nullptr);
    }
}

CSignalExit::~CSignalExit()
{
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    for (int& fd : gPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void CSignalExit::OnSignal()
{
    unsigned char code = 0;
    if (::read(gPipe[0], &code, 1) == 1)
        QCoreApplication::exit(128 + code);
}
