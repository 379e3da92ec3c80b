#include "common/cleanup_signals.h"

#include <pthread.h>

CCleanupSignalsHeld::CCleanupSignalsHeld()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : kCleanupSignals)
        sigaddset(&signals, s);
    pthread_sigmask(SIG_BLOCK, &signals, &previous_);
}

CCleanupSignalsHeld::~CCleanupSignalsHeld()
{
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}
