#include "gui/app/qpg_app.h"

#include "gui/app/main_frame.h"
#include "common/message_box.h"
#include "common/text_format.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

CQpgApp::CQpgApp(CSettingsStore& store, CMessageBox* box, CFileChooser* chooser, CSettings::CEnvironment environment)
    : settings_(&store, std::move(environment)), recent_(settings_)
{
    frame_ = std::make_unique<CMainFrame>(doc_, settings_, recent_, box, chooser);
    doc_.autoloadHandler = [this](CQpgDoc& doc, COperationView& view, CMessageBox& owner) {
        return frame_->RunAutoload(doc, view, owner);
    };
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
    QString dir = QString::fromStdString(settings_.Get(ESetting::ImageDirectory));
    if (dir.isEmpty()) {
        imageDir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tarvel-XXXXXX");
        if (imageDir_->isValid())
            dir = imageDir_->path();
    }
    const QString previous = QDir::currentPath();
    int result = 1;
    if (!dir.isEmpty() && QDir::setCurrent(dir)) {
        result = doc_.image.Open(doc_.physicalRange.GetStart());
        QDir::setCurrent(previous);
    }
    if (result != 0) {
        frame_->Box().Show(Format("Can not create the memory image in %s !\nLoading and editing will fail.",
                                  dir.toStdString().c_str()),
                           "Fatal Error", EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    }
    return true;
}

bool CQpgApp::InitInstance(const QStringList& arguments)
{
    OpenImage();
    frame_->ApplyStoredPlacement();

    QString file;
    for (int i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].startsWith('-')) {
            file = arguments[i];
            break;
        }
    }
    if (!file.isEmpty())
        return frame_->OpenPath(file.toStdString());

    // Without a file on the command line the most recent project is
    // reopened, when it is still there; otherwise a new one starts.
    const std::string recent = settings_.Get(ESetting::RecentFile1);
    if (!recent.empty() && QFileInfo::exists(QString::fromStdString(recent))) {
        if (frame_->OpenPath(recent))
            return true;
        // A damaged project must not keep the program from starting: after
        // the message, a new project.
    }
    doc_.NewDocument();
    frame_->UpdateCommands();
    return true;
}
