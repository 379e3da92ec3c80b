#pragma once

#include "gui/app/window_context.h"

#include <QString>

#include <string>

class CDocumentCommands;
class CFileChooser;
class CQpgDoc;
class CRecentFileList;
class QMimeData;

// The File menu's project commands of the main window: New, Open, Save,
// Save As, the recent files and the save-changes question, and the files
// dropped on the window. Each command answers whether it was carried out
// and leaves the window's commands, title and recent entries current.
class CFileCommands {
public:
    static constexpr const char* kUntitled = "Untitled";
    static constexpr const char* kProjectFilter = "Tarvel Files (*.tvl) | *.tvl| All Files (*.*) | *.*||";

    CFileCommands(const SWindowContext& window, CQpgDoc& doc, CRecentFileList& recent, CFileChooser& chooser,
                  CDocumentCommands& commands);

    bool NewFile();
    bool OpenFile();
    bool OpenPath(const std::string& path);
    bool OpenRecent(int index);
    // Save keeps a read-only project file (the project goes to Save As) and
    // asks before replacing one that another program changed since it was
    // opened or saved here.
    bool SaveFile();
    bool SaveFileAs();
    // The save-changes question: Yes saves (and answers false when saving
    // failed), No goes on, Cancel stops.
    bool SaveModified();

    // A file dropped on the window: a project (.tvl) is opened, any other
    // file loaded into the memory image through the Load dialog.
    bool OpenDropped(const std::string& path);
    // The dropped local file's name as the bytes of the system (a URL
    // carries them percent-encoded), or the empty name.
    static std::string DroppedFile(const QMimeData* data);

    // The project's name as the window shows it: its file name, or
    // "Untitled" before it has one.
    static QString DocumentTitle(const CQpgDoc& doc);

private:
    bool SaveTo(const std::string& path);
    // Opens the project once the save-changes question has been answered.
    bool OpenSettled(const std::string& path);

    SWindowContext window_;
    CQpgDoc& doc_;
    CRecentFileList& recent_;
    CFileChooser& chooser_;
    CDocumentCommands& commands_;
};
