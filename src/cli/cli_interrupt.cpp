#include "cli/cli_interrupt.h"

#include "common/cleanup_signals.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gArmed = 0;
volatile std::sig_atomic_t gRequested = 0; // the signal's number
char gExitNote[1024];

} // namespace

void CliInterruptArm(bool armed)
{
    gArmed = armed ? 1 : 0;
}

bool CliInterruptRequested()
{
    return gRequested != 0;
}

int CliInterruptSignal()
{
    return gRequested;
}

int CliStopExitCode()
{
    return 128 + (gRequested != 0 ? static_cast<int>(gRequested) : SIGINT);
}

bool CliIsStopExit(int code)
{
    return code == 128 + SIGINT || code == 128 + SIGTERM || code == 128 + SIGHUP;
}

void CliInterruptRequest(int signal)
{
    if (gRequested == 0)
        gRequested = signal;
}

bool CliInterruptTake(int signal)
{
    if (!gArmed || gRequested)
        return false;
    gRequested = signal;
    static const char kText[] = "\nStopping: the operation ends after the current step (Ctrl-C again ends at once).\n";
    (void)!::write(STDERR_FILENO, kText, sizeof kText - 1);
    return true;
}

void CliInterruptSetExitNote(const char* text)
{
    const CCleanupSignalsHeld held;
    std::snprintf(gExitNote, sizeof gExitNote, "%s", text ? text : "");
}

void CliInterruptWriteExitNote()
{
    const size_t length = ::strnlen(gExitNote, sizeof gExitNote);
    if (length > 0)
        (void)!::write(STDERR_FILENO, gExitNote, length);
}
