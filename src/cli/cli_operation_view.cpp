#include "cli/cli_operation_view.h"

#include "cli/cli_interrupt.h"

#include <cstdio>
#include <string>
#include <unistd.h>

CCliOperationView::CCliOperationView() : terminal_(::isatty(STDERR_FILENO) != 0) {}

void CCliOperationView::EndBar()
{
    if (barShown_) {
        std::fputc('\n', stderr);
        barShown_ = false;
    }
}

void CCliOperationView::SetStatus(const std::string& text)
{
    if (text.empty())
        return; // an emptied status line has nothing to say on a terminal log
    EndBar();
    std::fprintf(stderr, "%s\n", text.c_str());
}

void CCliOperationView::SetWaitCursor(bool on)
{
    CliInterruptArm(on);
}

bool CCliOperationView::CancelRequested()
{
    return CliInterruptRequested();
}

void CCliOperationView::SetProgress(int percent)
{
    if (!terminal_)
        return;
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    const int filled = percent * 40 / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(40 - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    barShown_ = true;
}
