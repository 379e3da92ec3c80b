#include "gui/app/command_line.h"

#include "gui/app/about_dialog.h"

#ifndef TARVEL_VERSION
#define TARVEL_VERSION "unknown"
#endif

namespace {

// Qt's own options, which QApplication takes out of the command line; Qt
// accepts them with one dash or two.
bool IsQtOption(const std::string& a)
{
    static const char* const kQt[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                      "qwindowicon", "qwindowtitle", "reverse", "session", "style", "stylesheet",
                                      "widgetcount", "display", "geometry", "title", "name", "visual", "nograb",
                                      "dograb", "sync"};
    std::string name = a.substr(a.find_first_not_of('-'));
    name = name.substr(0, name.find('='));
    for (const char* q : kQt)
        if (name == q)
            return true;
    return name.rfind("qmljsdebugger", 0) == 0;
}

bool IsOurOption(const std::string& a)
{
    return a == "--help" || a == "-h" || a == "--version" || a == "--screenshots";
}

} // namespace

CCommandLine::EAction CCommandLine::Early(const std::vector<std::string>& arguments)
{
    for (const std::string& a : arguments) {
        if (a == "--")
            break;
        if (a == "--help" || a == "-h")
            return EAction::Help;
        if (a == "--version")
            return EAction::Version;
    }
    // An option that is neither ours nor Qt's is refused before the display
    // is opened (a program without a display could not say so afterwards).
    for (const std::string& a : arguments) {
        if (a == "--")
            break;
        if (a.size() > 1 && a[0] == '-' && !IsOurOption(a) && !IsQtOption(a))
            return EAction::Error;
    }
    return EAction::Run;
}

CCommandLine::CCommandLine(const std::vector<std::string>& arguments)
{
    bool options = true;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--help" || a == "-h")) {
            action_ = EAction::Help;
            return;
        } else if (options && a == "--version") {
            action_ = EAction::Version;
            return;
        } else if (options && a == "--screenshots") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                action_ = EAction::Error;
                error_ = "--screenshots needs a folder";
                return;
            }
            screenshots_ = arguments[++i];
        } else if (options && !a.empty() && a[0] == '-') {
            action_ = EAction::Error;
            error_ = "unknown option " + a;
            return;
        } else if (!file_.empty()) {
            action_ = EAction::Error;
            error_ = "one project file at most (" + file_ + ", " + a + ")";
            return;
        } else if (!a.empty()) {
            file_ = a;
        }
    }
}

std::string CCommandLine::HelpText()
{
    return "Usage: tarvel [OPTION]... [FILE.tvl]\n"
           "Flash programming for ARM boards through the QDX7000 probe: the desktop program.\n"
           "\n"
           "Opens the project FILE.tvl; without one, the project used last (when it is\n"
           "still there), else a new project.\n"
           "\n"
           "  --screenshots DIR  show every window and dialog in turn, save each as a PNG\n"
           "                     into DIR, then end; the settings stay untouched\n"
           "  --help, -h         this text\n"
           "  --version          the program's version\n"
           "  --                 every argument after it is a file name\n"
           "\n"
           "Qt's options (-platform NAME, -style NAME, ...) are taken too.\n"
           "tarvel-cli does the same work from a shell or a production line script.\n"
           "\n"
           "Exit codes: 0 after a normal end, 1 when the project cannot be opened at\n"
           "start, 2 when the command line is wrong.\n";
}

std::string CCommandLine::VersionText()
{
    return std::string("tarvel ") + TARVEL_VERSION + "\n" + CAboutDialog::kProduct + ", " + CAboutDialog::kVersion +
           "\n";
}
