#include "gui/app/qpg_app.h"

#include "gui/app/document_commands.h"
#include "gui/app/file_commands.h"
#include "gui/app/main_frame.h"
#include "gui/app/qt_settings_store.h"
#include "common/message_box.h"
#include "common/text_format.h"

#include "gui/widgets/native_path.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

CQpgApp::CQpgApp(CSettingsStore& store, CMessageBox* box, CFileChooser* chooser, CSettings::CEnvironment environment)
    : settings_(&store, std::move(environment)), recent_(settings_)
{
    frame_ = std::make_unique<CMainFrame>(doc_, settings_, recent_, box, chooser);
    doc_.autoloadHandler = [this](CQpgDoc& doc, COperationView& view, CMessageBox& owner) {
        return frame_->Commands().RunAutoload(doc, view, owner);
    };
}

void CQpgApp::NameApplication()
{
    QApplication::setOrganizationName(QString::fromLatin1(CQtSettingsStore::kOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    // No display name: Qt would append it to every window's caption, and the
    // boxes' captions ("Error", "Tarvel for ARM (QDX7000)") are exact.
}

CQpgApp::~CQpgApp()
{
    // The frame's dialogs refer to the document: it goes first.
    frame_.reset();
}

bool CQpgApp::OpenImage()
{
    // The backing file lives in the configured directory, or else in a
    // private one of this run, so that two running programs never share it.
    std::string dir = settings_.Get(ESetting::ImageDirectory);
    if (dir.empty()) {
        imageDir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tarvel-XXXXXX");
        if (imageDir_->isValid())
            dir = NativePath(imageDir_->path());
    }
    if (dir.empty() || doc_.image.Open(doc_.physicalRange.GetStart(), dir) != 0) {
        frame_->Box().Show(Format("Can not create the memory image in %s !\nLoading and editing will fail.",
                                  dir.c_str()),
                           "Fatal Error", EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    }
    return true;
}

bool CQpgApp::InitInstance(const std::vector<std::string>& arguments)
{
    OpenImage();
    frame_->ApplyStoredPlacement();

    // The argument after the program's name names the project, as the
    // system gave its bytes.
    if (arguments.size() > 1 && !arguments[1].empty())
        return frame_->Files().OpenPath(arguments[1]);

    // Without a file on the command line the most recent project is
    // reopened, when it is still there; otherwise a new one starts.
    const std::string recent = settings_.Get(ESetting::RecentFile1);
    struct stat st {};
    if (!recent.empty() && ::stat(recent.c_str(), &st) == 0) {
        if (frame_->Files().OpenPath(recent))
            return true;
        // A damaged project must not keep the program from starting: after
        // the message, a new project.
    }
    doc_.NewDocument();
    frame_->UpdateCommands();
    return true;
}
