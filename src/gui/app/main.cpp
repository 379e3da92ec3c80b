#include "gui/app/main_frame.h"
#include "gui/app/qpg_app.h"
#include "gui/app/qt_settings_store.h"
#include "gui/app/screenshot_tour.h"
#include "gui/app/signal_exit.h"
#include "common/message_box.h"
#include "common/standard_descriptors.h"

#include <QApplication>

int main(int argc, char** argv)
{
    OpenClosedStandardDescriptors();
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(CQtSettingsStore::kOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(CMainFrame::kTitle));

    // "--screenshots DIR": after start-up, every window and dialog is shown
    // in turn and saved as a PNG into DIR; the settings stay untouched.
    QStringList arguments = QApplication::arguments();
    QString screenshots;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--screenshots")); at >= 0 && at + 1 < arguments.size()) {
        screenshots = arguments[at + 1];
        arguments.remove(at, 2);
    }

    std::unique_ptr<CQtSettingsStore> store = screenshots.isEmpty()
                                                  ? std::make_unique<CQtSettingsStore>()
                                                  : std::make_unique<CQtSettingsStore>(screenshots + "/settings.ini");
    CSignalExit signalExit;
    CQpgApp app(*store);
    if (!app.InitInstance(arguments))
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
