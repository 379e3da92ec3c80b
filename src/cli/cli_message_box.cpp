#include "cli/cli_message_box.h"

#include <cstdio>
#include <string>
#include <unistd.h>

EMsgResult CCliMessageBox::Show(const std::string& text, const std::string& caption, EMsgIcon, EMsgButtons buttons)
{
    const std::string title = caption.empty() ? std::string(kAppTitle) : caption;
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    if (buttons == EMsgButtons::Ok)
        return EMsgResult::Ok;
    switch (answer_) {
    case EAnswer::Yes:
        std::fprintf(stderr, "  -> yes (--yes)\n");
        return EMsgResult::Yes;
    case EAnswer::No:
        std::fprintf(stderr, "  -> no (--no)\n");
        return EMsgResult::No;
    case EAnswer::Ask:
        break;
    }
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "  -> no (no terminal to ask; give --yes to agree)\n");
        return EMsgResult::No;
    }
    for (;;) {
        std::fprintf(stderr, "  [y/n] ");
        std::fflush(stderr);
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            return EMsgResult::No;
        if (line[0] == 'y' || line[0] == 'Y')
            return EMsgResult::Yes;
        if (line[0] == 'n' || line[0] == 'N')
            return EMsgResult::No;
    }
}
