#include "cli/cli_message_box.h"

#include <cstdio>
#include <string>
#include <unistd.h>

EMsgResult CCliMessageBox::Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                                EMsgButtons buttons)
{
    if ((icon == EMsgIcon::Stop || (icon == EMsgIcon::Exclamation && buttons == EMsgButtons::Ok)) &&
        firstError_.empty()) {
        firstError_ = text;
        statusAtFirstError_ = statusLines_ ? *statusLines_ : std::vector<std::string>();
    }
    const std::string title = caption.empty() ? std::string(kAppTitle) : caption;
    const bool answered = answer_ != EAnswer::Ask;
    if (buttons == EMsgButtons::Ok || !(quiet_ && answered))
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    if (buttons == EMsgButtons::Ok)
        return EMsgResult::Ok;
    // OK/Cancel questions take the same answers: yes is OK, no is Cancel.
    const bool okCancel = buttons == EMsgButtons::OkCancel;
    const EMsgResult agree = okCancel ? EMsgResult::Ok : EMsgResult::Yes;
    const EMsgResult refuse = okCancel ? EMsgResult::Cancel : EMsgResult::No;
    const char* agreeWord = okCancel ? "ok" : "yes";
    const char* refuseWord = okCancel ? "cancel" : "no";
    switch (answer_) {
    case EAnswer::Yes:
        if (!quiet_)
            std::fprintf(stderr, "  -> %s (--yes)\n", agreeWord);
        return agree;
    case EAnswer::No:
        if (!quiet_)
            std::fprintf(stderr, "  -> %s (--no)\n", refuseWord);
        return refuse;
    case EAnswer::Ask:
        break;
    }
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "  -> %s (no terminal to ask; give --yes to agree)\n", refuseWord);
        return refuse;
    }
    for (;;) {
        std::fprintf(stderr, "  [y/n] ");
        std::fflush(stderr);
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            return refuse;
        if (line[0] == 'y' || line[0] == 'Y')
            return agree;
        if (line[0] == 'n' || line[0] == 'N')
            return refuse;
    }
}
