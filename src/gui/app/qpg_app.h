#pragma once

#include "gui/app/recent_file_list.h"
#include "common/settings.h"
#include "project/qpg_doc.h"

#include <memory>
#include <string>
#include <vector>

class CFileChooser;
class CMainFrame;
class CMessageBox;
class QTemporaryDir;

// The application: the settings kept between runs, the recent-file list,
// the one document of the whole run and the main window.
class CQpgApp {
public:
    // `box` and `chooser` default to the platform's; tests hand in their own.
    explicit CQpgApp(CSettingsStore& store, CMessageBox* box = nullptr, CFileChooser* chooser = nullptr,
                     CSettings::CEnvironment environment = {});
    ~CQpgApp();
    CQpgApp(const CQpgApp&) = delete;
    CQpgApp& operator=(const CQpgApp&) = delete;

    // The organisation and application names the settings are kept under.
    static void NameApplication();

    // Start-up: the memory image, the main window in its stored place, then
    // the project: `arguments` are the program's name and, when one was
    // named, the project file (the command line's bytes; the program ends
    // when it cannot be opened); else the most recently used one when it
    // still exists; else a new one. False when the program has to end.
    bool InitInstance(const std::vector<std::string>& arguments);

    CMainFrame& Frame() { return *frame_; }
    CQpgDoc& Doc() { return doc_; }
    CSettings& Settings() { return settings_; }
    CRecentFileList& Recent() { return recent_; }

private:
    bool OpenImage();

    CSettings settings_;
    CRecentFileList recent_;
    std::unique_ptr<QTemporaryDir> imageDir_;
    CQpgDoc doc_{false};
    std::unique_ptr<CMainFrame> frame_;
};
