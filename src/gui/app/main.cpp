#include "gui/app/command_line.h"
#include "gui/app/main_frame.h"
#include "gui/app/qpg_app.h"
#include "gui/app/qt_settings_store.h"
#include "gui/app/screenshot_tour.h"
#include "gui/app/signal_exit.h"
#include "gui/widgets/native_path.h"
#include "common/standard_descriptors.h"

#include <QApplication>

#include <cstdio>

namespace {

constexpr int kExitUsage = 2;

std::vector<std::string> Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace

int main(int argc, char** argv)
{
    OpenClosedStandardDescriptors();
    // --help, --version and a wrong option answer before a display is needed.
    switch (CCommandLine::Early(Arguments(argc, argv))) {
    case CCommandLine::EAction::Help: std::fputs(CCommandLine::HelpText().c_str(), stdout); return 0;
    case CCommandLine::EAction::Version: std::fputs(CCommandLine::VersionText().c_str(), stdout); return 0;
    case CCommandLine::EAction::Error: {
        const CCommandLine line(Arguments(argc, argv));
        std::fprintf(stderr, "tarvel: %s\nTry 'tarvel --help'.\n", line.Error().c_str());
        return kExitUsage;
    }
    default: break;
    }

    // QApplication takes its own options out of argv; the rest are ours,
    // as the bytes the system gave.
    QApplication application(argc, argv);
    CQpgApp::NameApplication();
    const CCommandLine line(Arguments(argc, argv));
    if (line.Action() == CCommandLine::EAction::Error) {
        std::fprintf(stderr, "tarvel: %s\nTry 'tarvel --help'.\n", line.Error().c_str());
        return kExitUsage;
    }

    // "--screenshots DIR": after start-up, every window and dialog is shown
    // in turn and saved as a PNG into DIR; the settings stay untouched.
    const QString screenshots = ShownPath(line.Screenshots());
    std::unique_ptr<CQtSettingsStore> store = screenshots.isEmpty()
                                                  ? std::make_unique<CQtSettingsStore>()
                                                  : std::make_unique<CQtSettingsStore>(screenshots + "/settings.ini");
    CSignalExit signalExit;
    CQpgApp app(*store);
    std::vector<std::string> startArguments{"tarvel"};
    if (!line.File().empty())
        startArguments.push_back(line.File());
    if (!app.InitInstance(startArguments))
        return 1;
    app.Frame().show();
    if (!screenshots.isEmpty()) {
        CScreenshotTour tour(app, screenshots);
        tour.Start();
        const int code = QApplication::exec();
        return tour.Failed() ? 1 : code;
    }
    const int code = QApplication::exec();
    store->Sync();
    return code;
}
