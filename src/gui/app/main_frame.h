#pragma once

#include "gui/dialogs/dialog_services.h"

#include <QHash>
#include <QMainWindow>

#include <memory>

class CDocumentCommands;
class CFileChooser;
class CFileCommands;
class CHelpWindow;
class CLockIndicators;
class CMessageBox;
class CQpgDoc;
class CQpgView;
class CRecentFileList;
class CReportCommands;
class CSettings;
class QLabel;
class QMenu;

// The main window: menu bar, toolbar, status bar (message pane and the
// "CAP", "NUM", "SCRL" indicators), the view, its title and placement, and
// the help and about windows. Its menu and toolbar commands are carried out
// by the file commands (CFileCommands, with the files dropped on the
// window), the document's commands with their dialogs (CDocumentCommands)
// and the report's (CReportCommands).
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // The menu command ids.
    enum ECommand : int {
        FileNew = 57600,
        FileOpen = 57601,
        FileSave = 57603,
        FileSaveAs = 57604,
        FilePrintSetup = 57606,
        FilePrint = 57607,
        FilePrintPreview = 57609,
        FileExportPdf = 32800,
        FileRecent = 57616,
        AppAbout = 57664,
        AppExit = 57665,
        HelpTopics = 57667,
        ContextHelp = 57669,
        Help = 57670,
        ViewToolbar = 59392,
        ViewStatusBar = 59393,
    };
    static constexpr const char* kIdleText = "For Help, press F1";
    static constexpr const char* kTitle = "Tarvel";

    // `box` and `chooser` default to the platform's; tests hand in their own.
    CMainFrame(CQpgDoc& doc, CSettings& settings, CRecentFileList& recent, CMessageBox* box = nullptr,
               CFileChooser* chooser = nullptr);
    ~CMainFrame() override;

    // The stored window rectangle, when there is one inside the desktop.
    void ApplyStoredPlacement();

    QAction* Action(int id) const { return actions_.value(id); }
    CMessageBox& Box() const { return *box_; }
    CQpgView* View() const { return view_; }
    QLabel* IdlePane() const { return idle_; }

    CFileCommands& Files() { return *files_; }
    CDocumentCommands& Commands() { return *commands_; }
    CReportCommands& Report() { return *report_; }

    // The manual, at the section with the heading `section` when one is
    // given; over a modal dialog `over` in a window of that dialog.
    CHelpWindow* ShowHelp(const QString& section = QString(), QWidget* over = nullptr);
    void ShowAbout();

    // Greys what the project cannot do now, and keeps the title and the
    // recent-file entries current.
    void UpdateCommands();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The box, chooser and help every command dialog is opened with.
    SDialogServices DialogServices();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void RebuildRecentMenu();
    void UpdateIndicators();
    QAction* AddAction(int id, const QString& text, const QString& prompt, const char* shortcut, const char* icon);

    CQpgDoc& doc_;
    CSettings& settings_;
    CRecentFileList& recent_;
    std::unique_ptr<CMessageBox> ownBox_;
    CMessageBox* box_;
    CFileChooser* chooser_;
    CQpgView* view_;
    QHash<int, QAction*> actions_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QList<QAction*> recentActions_;
    QLabel* idle_ = nullptr;
    QLabel* indicators_[3] = {};
    std::unique_ptr<CLockIndicators> locks_;
    CHelpWindow* help_ = nullptr;
    std::unique_ptr<CDocumentCommands> commands_;
    std::unique_ptr<CFileCommands> files_;
    std::unique_ptr<CReportCommands> report_;
};
