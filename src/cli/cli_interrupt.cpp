#include "cli/cli_interrupt.h"

#include <csignal>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gArmed = 0;
volatile std::sig_atomic_t gRequested = 0;

} // namespace

void CliInterruptArm(bool armed)
{
    gArmed = armed ? 1 : 0;
}

bool CliInterruptRequested()
{
    return gRequested != 0;
}

void CliInterruptRequest()
{
    gRequested = 1;
}

bool CliInterruptTake()
{
    if (!gArmed || gRequested)
        return false;
    gRequested = 1;
    static const char kText[] = "\nStopping: the operation ends after the current step (Ctrl-C again ends at once).\n";
    (void)!::write(STDERR_FILENO, kText, sizeof kText - 1);
    return true;
}
