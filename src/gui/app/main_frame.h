#pragma once

#include "gui/dialogs/dialog_services.h"

#include <QHash>
#include <QMainWindow>

#include <memory>
#include <string>

class CFileChooser;
class CHelpWindow;
class CLockIndicators;
class CMessageBox;
class CProbeLibrary;
class CQpgDoc;
class CQpgView;
class CRecentFileList;
class CReportPrinter;
class CSettings;
class COperationView;
class QLabel;
class QMenu;

// The main window: menu bar, toolbar, status bar (message pane and the
// "CAP", "NUM", "SCRL" indicators) and the view. Its menu and toolbar
// commands run the document's commands with their dialogs, the file
// commands, and the help and about windows.
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
    static constexpr const char* kUntitled = "Untitled";
    static constexpr const char* kProjectFilter = "Tarvel Files (*.tvl) | *.tvl| All Files (*.*) | *.*||";

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

    // File commands. Each answers whether it was carried out.
    bool NewFile();
    bool OpenFile();
    bool OpenPath(const std::string& path);
    bool OpenRecent(int index);
    // Save keeps a read-only project file (the project goes to Save As) and
    // asks before replacing one that another program changed since it was
    // opened or saved here.
    bool SaveFile();
    bool SaveFileAs();
    // A file dropped on the window: a project (.tvl) is opened, any other
    // file loaded into the memory image through the Load dialog.
    bool OpenDropped(const std::string& path);
    // The save-changes question: Yes saves (and answers false when saving
    // failed), No goes on, Cancel stops.
    bool SaveModified();

    // The Edit menu: each opens its dialog on a command made from the
    // project and hands the values back when the dialog has closed.
    void EditLoad();
    void EditStore();
    void EditImage();
    void EditClear();
    void EditFill();
    void EditChecksum();
    // The Load dialog of an opened project's autoload; answers the load result.
    int RunAutoload(CQpgDoc& doc, COperationView& view, CMessageBox& box);

    // The Setup menu: each opens its dialog on a command made from the
    // project; the values go back as the command's StoreBack says.
    void SetupCommunication();
    void SetupFirmware();
    void SetupTargetMemory();
    void SetupInitList(int which); // a CQpgDoc::EInitList
    // The target commands (Dump is on the Edit menu): each opens its dialog,
    // whose operations reach the probe on the project's channel.
    void EditDump();
    void TargetErase();
    void TargetProgram();
    void TargetVerify();
    // The probe library the Setup and target dialogs use (tests hand in their
    // own; by default the program's link to the probe, made on first use).
    void SetProbeLibrary(CProbeLibrary* library) { probe_ = library; }
    CProbeLibrary& ProbeLibrary();

    // The setup report: File "&Print...", "Print Pre&view", "P&rint Setup...",
    // "Print &Comment..." and "Export Report as PDF...".
    void PrintReport();
    void PreviewReport();
    void PrintSetup();
    void EditPrintComment();
    bool ExportReportPdf();
    CReportPrinter& Printer() { return *printer_; }

    // The manual, at the section with the heading `section` when one is
    // given; over a modal dialog `over` in a window of that dialog.
    CHelpWindow* ShowHelp(const QString& section = QString(), QWidget* over = nullptr);
    void ShowAbout();

    // Greys what the project cannot do now, and keeps the title and the
    // recent-file entries current.
    void UpdateCommands();
    QString DocumentTitle() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The box and chooser every command dialog is opened with.
    SDialogServices DialogServices();
    bool SaveTo(const std::string& path);
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
    std::unique_ptr<CProbeLibrary> ownProbe_;
    CProbeLibrary* probe_ = nullptr;
    std::unique_ptr<CReportPrinter> printer_;
};
