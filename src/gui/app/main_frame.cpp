#include "gui/app/main_frame.h"

#include "gui/app/about_dialog.h"
#include "gui/app/help_window.h"
#include "gui/app/lock_indicators.h"
#include "gui/app/qpg_view.h"
#include "gui/app/recent_file_list.h"
#include "gui/app/svg_icon.h"
#include "gui/app/window_placement.h"
#include "commands/checksum_command.h"
#include "commands/comm_setup_command.h"
#include "commands/dump_command.h"
#include "commands/erase_command.h"
#include "commands/edit_image_command.h"
#include "commands/fill_command.h"
#include "commands/init_list_command.h"
#include "commands/load_command.h"
#include "commands/print_comment_command.h"
#include "commands/probe_update_command.h"
#include "commands/program_command.h"
#include "commands/store_command.h"
#include "commands/target_setup_command.h"
#include "commands/verify_command.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/native_path.h"
#include "gui/widgets/qt_message_box.h"
#include "gui/widgets/status_line_view.h"
#include "gui/dialogs/checksum_dialog.h"
#include "gui/dialogs/comm_setup_dialog.h"
#include "gui/dialogs/dump_dialog.h"
#include "gui/dialogs/edit_image_dialog.h"
#include "gui/dialogs/erase_dialog.h"
#include "gui/dialogs/fill_dialog.h"
#include "gui/dialogs/init_list_dialog.h"
#include "gui/dialogs/load_dialog.h"
#include "gui/dialogs/probe_update_dialog.h"
#include "gui/dialogs/store_dialog.h"
#include "gui/dialogs/target_setup_dialog.h"
#include "probe/link/link_library.h"
#include "gui/dialogs/print_comment_dialog.h"
#include "gui/dialogs/program_dialog.h"
#include "gui/dialogs/verify_dialog.h"
#include "gui/report/report_printer.h"
#include "gui/widgets/worker_bridge.h"
#include "project/qpg_doc.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWhatsThis>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace {

using EDoc = CQpgDoc::ECommand;

constexpr int Id(EDoc command)
{
    return static_cast<int>(command);
}

// The document commands that answer the enable query.
constexpr EDoc kDocCommands[] = {EDoc::Load,     EDoc::Store,   EDoc::Dump,   EDoc::Edit,
                                 EDoc::Clear,    EDoc::Fill,    EDoc::Checksum, EDoc::Erase,
                                 EDoc::Program,  EDoc::Verify};

} // namespace

CMainFrame::CMainFrame(CQpgDoc& doc, CSettings& settings, CRecentFileList& recent, CMessageBox* box,
                       CFileChooser* chooser)
    : doc_(doc), settings_(settings), recent_(recent), box_(box), chooser_(chooser ? chooser : &CFileChooser::System())
{
    setObjectName("mainFrame");
    if (!box_) {
        ownBox_ = std::make_unique<CQtMessageBox>(this);
        box_ = ownBox_.get();
    }
    setWindowIcon(CSvgIcon::Load("tarvel"));
    setAcceptDrops(true);
    view_ = new CQpgView(this);
    setCentralWidget(view_);
    printer_ = std::make_unique<CReportPrinter>(this);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    const int em = fontMetrics().averageCharWidth();
    resize(em * 100, fontMetrics().height() * 30);
    UpdateCommands();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddAction(int id, const QString& text, const QString& prompt, const char* shortcut,
                               const char* icon)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QStringLiteral("action%1").arg(id));
    // The prompt's first line goes to the status bar, the part after the
    // newline is the tooltip (the first line again when there is none).
    const int newline = prompt.indexOf('\n');
    const QString statusText = newline < 0 ? prompt : prompt.left(newline);
    action->setStatusTip(statusText);
    action->setWhatsThis(statusText);
    action->setToolTip(newline < 0 ? statusText : prompt.mid(newline + 1));
    if (shortcut)
        action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
    if (icon)
        action->setIcon(CSvgIcon::Load(QString::fromLatin1(icon)));
    action->setIconVisibleInMenu(false);
    actions_.insert(id, action);
    return action;
}

void CMainFrame::CreateActions()
{
    // Menu texts use "&" for the mnemonic; the accelerator is the action's shortcut.
    AddAction(FileNew, tr("&New"), tr("Create a new setup\nNew"), "Ctrl+N", "new");
    AddAction(FileOpen, tr("&Open..."), tr("Open an existing setup\nOpen"), "Ctrl+O", "open");
    AddAction(FileSave, tr("&Save"), tr("Save the active setup\nSave"), "Ctrl+S", "save");
    AddAction(FileSaveAs, tr("Save &As..."), tr("Save the active setup with a new name\nSave As"), nullptr, nullptr);
    AddAction(FilePrint, tr("&Print..."), tr("Print the active setup\nPrint"), "Ctrl+P", "print");
    AddAction(FilePrintPreview, tr("Print Pre&view"), tr("Display full pages\nPrint Preview"), nullptr, nullptr);
    AddAction(FilePrintSetup, tr("P&rint Setup..."), tr("Change the printer and printing options\nPrint Setup"),
              nullptr, nullptr);
    AddAction(Id(EDoc::PrintComment), tr("Print &Comment..."),
              tr("Change header and comment for the printout\nPrint Comment"), nullptr, nullptr);
    AddAction(FileExportPdf, tr("&Export Report as PDF..."),
              tr("Write the setup report to a PDF file\nExport Report as PDF"), nullptr, nullptr);
    AddAction(FileRecent, tr("Recent File"), tr("Open this document"), nullptr, nullptr);
    AddAction(AppExit, tr("E&xit"), tr("Quit the application; prompts to save documents\nExit"), nullptr, nullptr);

    AddAction(Id(EDoc::Load), tr("&Load..."), tr("Load a program file into local memory\nLoad"), nullptr, "load");
    AddAction(Id(EDoc::Store), tr("&Store..."), tr("Store a program file from local memory\nStore to file"), nullptr,
              nullptr);
    AddAction(Id(EDoc::Dump), tr("&Dump..."), tr("Load program data from target memory into local memory\nDump"),
              nullptr, nullptr);
    AddAction(Id(EDoc::Edit), tr("&Edit..."), tr("Used to edit the local memory image\nEdit image"), nullptr, "edit");
    AddAction(Id(EDoc::Clear), tr("&Clear"), tr("Erase the selection\nErase"), nullptr, "clear");
    AddAction(Id(EDoc::Fill), tr("&Fill..."), tr("Fill a local memory range with a pattern\nFill image"), nullptr,
              nullptr);
    AddAction(Id(EDoc::Checksum), tr("C&hecksum..."),
              tr("Calculates checksums and updates local memory image\nChecksum"), nullptr, "checksum");

    AddAction(Id(EDoc::Erase), tr("&Erase..."), tr("Erases the target memory\nErase Flash"), nullptr, "erase");
    AddAction(Id(EDoc::Program), tr("&Program..."), tr("Programs the target memory\nProgram Flash"), nullptr,
              "program");
    AddAction(Id(EDoc::Verify), tr("&Verify..."),
              tr("Compares the target memory with the local memory image\nVerify"), nullptr, "verify");

    AddAction(Id(EDoc::Communication), tr("&Communication..."),
              tr("Select and setup the communication channel\nCommunication"), nullptr, nullptr);
    AddAction(Id(EDoc::Firmware), tr("&Firmware..."), tr("Update the QDX7000 firmware\nUpdate Firmware"), nullptr,
              nullptr);
    AddAction(Id(EDoc::TargetMemory), tr("Target &Memory..."),
              tr("Asks for information about the target (chip type, bus width, ....)\nSelect Memorytype"), nullptr,
              nullptr);
    AddAction(Id(EDoc::MainList), tr("&Main..."), tr("Set main init list"), nullptr, nullptr);
    AddAction(Id(EDoc::PreEraseList), tr("&Pre-Erase..."), tr("Set pre-erase init list"), nullptr, nullptr);
    AddAction(Id(EDoc::PostEraseList), tr("P&ost-Erase..."), tr("Set post-erase init list"), nullptr, nullptr);
    AddAction(Id(EDoc::PreProgramList), tr("P&re-Program..."), tr("Set pre-program init list"), nullptr, nullptr);
    AddAction(Id(EDoc::PostProgramList), tr("Po&st-Program..."), tr("Set post-program init list"), nullptr, nullptr);

    AddAction(ViewToolbar, tr("&Toolbar"), tr("Show or hide the toolbar\nToggle ToolBar"), nullptr, nullptr);
    AddAction(ViewStatusBar, tr("&Status Bar"), tr("Show or hide the status bar\nToggle StatusBar"), nullptr,
              nullptr);
    AddAction(HelpTopics, tr("&Help Topics"), tr("List Help topics\nHelp Topics"), nullptr, nullptr);
    AddAction(AppAbout, tr("&About Tarvel..."),
              tr("Display program information, version number and copyright\nAbout"), nullptr, "about");
    AddAction(ContextHelp, tr("Context Help"), tr("Explains the next button, menu entry or window you click\nContext Help"),
              "Shift+F1", "context_help");
    AddAction(Help, tr("Help"), tr("Shows the manual\nHelp"), "F1", nullptr);
    addAction(Action(ContextHelp));
    addAction(Action(Help));

    connect(Action(FileNew), &QAction::triggered, this, [this] { NewFile(); });
    connect(Action(FileOpen), &QAction::triggered, this, [this] { OpenFile(); });
    connect(Action(FileSave), &QAction::triggered, this, [this] { SaveFile(); });
    connect(Action(FileSaveAs), &QAction::triggered, this, [this] { SaveFileAs(); });
    connect(Action(AppExit), &QAction::triggered, this, &QWidget::close);
    connect(Action(Id(EDoc::Load)), &QAction::triggered, this, &CMainFrame::EditLoad);
    connect(Action(Id(EDoc::Store)), &QAction::triggered, this, &CMainFrame::EditStore);
    connect(Action(Id(EDoc::Edit)), &QAction::triggered, this, &CMainFrame::EditImage);
    connect(Action(Id(EDoc::Clear)), &QAction::triggered, this, &CMainFrame::EditClear);
    connect(Action(Id(EDoc::Fill)), &QAction::triggered, this, &CMainFrame::EditFill);
    connect(Action(Id(EDoc::Checksum)), &QAction::triggered, this, &CMainFrame::EditChecksum);
    connect(Action(Id(EDoc::Communication)), &QAction::triggered, this, &CMainFrame::SetupCommunication);
    connect(Action(Id(EDoc::Firmware)), &QAction::triggered, this, &CMainFrame::SetupFirmware);
    connect(Action(Id(EDoc::TargetMemory)), &QAction::triggered, this, &CMainFrame::SetupTargetMemory);
    const std::pair<EDoc, CQpgDoc::EInitList> lists[] = {
        {EDoc::MainList, CQpgDoc::MainList},           {EDoc::PreEraseList, CQpgDoc::PreEraseList},
        {EDoc::PostEraseList, CQpgDoc::PostEraseList}, {EDoc::PreProgramList, CQpgDoc::PreProgramList},
        {EDoc::PostProgramList, CQpgDoc::PostProgramList}};
    for (const auto& [id, list] : lists)
        connect(Action(Id(id)), &QAction::triggered, this, [this, list = list] { SetupInitList(list); });
    connect(Action(Id(EDoc::Dump)), &QAction::triggered, this, &CMainFrame::EditDump);
    connect(Action(Id(EDoc::Erase)), &QAction::triggered, this, &CMainFrame::TargetErase);
    connect(Action(Id(EDoc::Program)), &QAction::triggered, this, &CMainFrame::TargetProgram);
    connect(Action(Id(EDoc::Verify)), &QAction::triggered, this, &CMainFrame::TargetVerify);
    connect(Action(FilePrint), &QAction::triggered, this, &CMainFrame::PrintReport);
    connect(Action(FilePrintPreview), &QAction::triggered, this, &CMainFrame::PreviewReport);
    connect(Action(FilePrintSetup), &QAction::triggered, this, &CMainFrame::PrintSetup);
    connect(Action(Id(EDoc::PrintComment)), &QAction::triggered, this, &CMainFrame::EditPrintComment);
    connect(Action(FileExportPdf), &QAction::triggered, this, [this] { ExportReportPdf(); });
    connect(Action(HelpTopics), &QAction::triggered, this, [this] { ShowHelp(); });
    connect(Action(Help), &QAction::triggered, this, [this] { ShowHelp(); });
    connect(Action(ContextHelp), &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
    connect(Action(AppAbout), &QAction::triggered, this, &CMainFrame::ShowAbout);
    Action(FileRecent)->setEnabled(false);
}

void CMainFrame::CreateMenus()
{
    fileMenu_ = menuBar()->addMenu(tr("&File"));
    fileMenu_->setObjectName("fileMenu");
    for (int id : {FileNew, FileOpen, FileSave, FileSaveAs})
        fileMenu_->addAction(Action(id));
    fileMenu_->addSeparator();
    for (int id : {int(FilePrint), int(FilePrintPreview), int(FilePrintSetup), Id(EDoc::PrintComment),
                   int(FileExportPdf)})
        fileMenu_->addAction(Action(id));
    fileMenu_->addSeparator();
    fileMenu_->addAction(Action(FileRecent));
    recentSeparator_ = fileMenu_->addSeparator();
    fileMenu_->addAction(Action(AppExit));

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->setObjectName("editMenu");
    for (EDoc c : {EDoc::Load, EDoc::Store, EDoc::Dump, EDoc::Edit, EDoc::Clear, EDoc::Fill, EDoc::Checksum})
        edit->addAction(Action(Id(c)));

    QMenu* target = menuBar()->addMenu(tr("&Target"));
    target->setObjectName("targetMenu");
    for (EDoc c : {EDoc::Erase, EDoc::Program, EDoc::Verify})
        target->addAction(Action(Id(c)));

    QMenu* setup = menuBar()->addMenu(tr("&Setup"));
    setup->setObjectName("setupMenu");
    for (EDoc c : {EDoc::Communication, EDoc::Firmware, EDoc::TargetMemory})
        setup->addAction(Action(Id(c)));
    QMenu* lists = setup->addMenu(tr("Target &Initlists..."));
    lists->setObjectName("initListMenu");
    lists->addAction(Action(Id(EDoc::MainList)));
    lists->addSeparator();
    for (EDoc c : {EDoc::PreEraseList, EDoc::PostEraseList, EDoc::PreProgramList, EDoc::PostProgramList})
        lists->addAction(Action(Id(c)));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName("viewMenu");
    view->addAction(Action(ViewToolbar));
    view->addAction(Action(ViewStatusBar));

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName("helpMenu");
    help->addAction(Action(HelpTopics));
    help->addSeparator();
    help->addAction(Action(AppAbout));

    // The enabling is asked when a menu opens, as well as after every command.
    for (QMenu* menu : {fileMenu_, edit, target, setup, view, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
}

void CMainFrame::CreateToolBar()
{
    QToolBar* bar = addToolBar(tr("Toolbar"));
    bar->setObjectName("toolBar");
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    bar->setMovable(true);
    const int side = fontMetrics().height() + 2;
    bar->setIconSize(QSize(side, side));
    for (int id : {FileNew, FileOpen, FileSave})
        bar->addAction(Action(id));
    bar->addSeparator();
    for (EDoc c : {EDoc::Load, EDoc::Edit, EDoc::Clear, EDoc::Checksum})
        bar->addAction(Action(Id(c)));
    bar->addSeparator();
    for (EDoc c : {EDoc::Erase, EDoc::Program, EDoc::Verify})
        bar->addAction(Action(Id(c)));
    bar->addSeparator();
    for (int id : {FilePrint, AppAbout, ContextHelp})
        bar->addAction(Action(id));

    QAction* toggle = Action(ViewToolbar);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QToolBar::setVisible);
    connect(bar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName("statusBar");
    // The idle text sits in the message pane; menu and toolbar prompts
    // cover it while the pointer is on their entries.
    idle_ = new QLabel(tr(kIdleText), bar);
    idle_->setObjectName("idlePane");
    bar->addWidget(idle_, 1);
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        indicators_[i] = new QLabel(QString::fromLatin1(names[i]), bar);
        indicators_[i]->setObjectName(QString::fromLatin1(names[i]).toLower() + "Pane");
        indicators_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        indicators_[i]->setAlignment(Qt::AlignCenter);
        indicators_[i]->setMinimumWidth(indicators_[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        bar->addPermanentWidget(indicators_[i]);
    }
    locks_ = std::make_unique<CLockIndicators>(QGuiApplication::platformName() == QLatin1String("xcb"));
    UpdateIndicators();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
    timer->start(300);

    QAction* toggle = Action(ViewStatusBar);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void CMainFrame::UpdateIndicators()
{
    const auto states = locks_->Read();
    for (int i = 0; i < 3; ++i)
        indicators_[i]->setEnabled(states && (*states)[static_cast<size_t>(i)]);
}

void CMainFrame::ApplyStoredPlacement()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect desk = screen->virtualGeometry();
    const CWindowPlacement::SRect desktop{desk.left(), desk.top(), desk.left() + desk.width(),
                                          desk.top() + desk.height()};
    if (const auto r = CWindowPlacement::Stored(settings_, desktop))
        setGeometry(QRect(static_cast<int>(r->left), static_cast<int>(r->top), static_cast<int>(r->right - r->left),
                          static_cast<int>(r->bottom - r->top)));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    // A maximised or minimised window keeps the rectangle stored before.
    if (!isMaximized() && !isMinimized() && !isFullScreen()) {
        const QRect g = geometry();
        CWindowPlacement::Keep(settings_, {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    }
    if (help_)
        help_->close();
    event->accept();
}

// ---- File commands ------------------------------------------------------------

QString CMainFrame::DocumentTitle() const
{
    if (doc_.GetPathName().empty())
        return QString::fromLatin1(kUntitled);
    return QFileInfo(ShownPath(doc_.GetPathName())).fileName();
}

bool CMainFrame::SaveModified()
{
    if (!doc_.IsModified())
        return true;
    const std::string text = "Save changes to " + DocumentTitle().toStdString() + "?";
    switch (box_->Show(text, "", EMsgIcon::Exclamation, EMsgButtons::YesNoCancel)) {
    case EMsgResult::Yes: return SaveFile();
    case EMsgResult::No: return true;
    default: return false;
    }
}

bool CMainFrame::NewFile()
{
    if (!SaveModified())
        return false;
    doc_.NewDocument();
    UpdateCommands();
    return true;
}

bool CMainFrame::OpenFile()
{
    const auto path = chooser_->ChooseOpen(this, kProjectFilter, doc_.GetPathName());
    if (!path)
        return false;
    return OpenPath(*path);
}

bool CMainFrame::OpenPath(const std::string& path)
{
    if (!SaveModified())
        return false;
    CStatusLineView view(nullptr);
    // The name stays the bytes it was given; only made absolute.
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string name = error ? path : absolute.lexically_normal().string();
    const bool opened = doc_.Open(name, view, *box_);
    if (opened)
        recent_.Add(doc_.GetPathName());
    UpdateCommands();
    return opened;
}

bool CMainFrame::OpenRecent(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= recent_.Files().size())
        return false;
    const std::string path = recent_.Files()[static_cast<size_t>(index)];
    if (!SaveModified())
        return false;
    CStatusLineView view(nullptr);
    struct stat st {};
    if (doc_.Open(path, view, *box_)) {
        recent_.Add(path);
    } else if (::stat(path.c_str(), &st) != 0) {
        // An entry whose file is gone leaves the list.
        recent_.Remove(static_cast<size_t>(index));
    }
    UpdateCommands();
    return doc_.GetPathName() == path;
}

bool CMainFrame::SaveFile()
{
    const std::string& path = doc_.GetPathName();
    if (path.empty())
        return SaveFileAs();
    // A project file without write permission is not replaced behind the
    // person's back: it is kept, and the project goes under a new name.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        box_->Show(Format("%s is read-only.\nSave the setup under a new name.", DocumentTitle().toStdString().c_str()),
                   "", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return SaveFileAs();
    }
    // Changed on disk since this program read or wrote it (another program,
    // tarvel-cli): replaced only when the person says so.
    if (doc_.ProjectFileChanged()) {
        const std::string text = Format("%s has been changed by another program since it was opened here.\n"
                                        "Replace it with this setup?",
                                        DocumentTitle().toStdString().c_str());
        if (box_->Show(text, "", EMsgIcon::Exclamation, EMsgButtons::YesNo) != EMsgResult::Yes)
            return false;
    }
    return SaveTo(path);
}

bool CMainFrame::SaveTo(const std::string& path)
{
    const bool saved = doc_.Save(path, *box_);
    UpdateCommands();
    return saved;
}

bool CMainFrame::SaveFileAs()
{
    const std::string initial = doc_.GetPathName().empty() ? std::string(kUntitled) + CQpgDoc::kFileExtension
                                                           : doc_.GetPathName();
    auto path = chooser_->ChooseSave(this, kProjectFilter, initial, true);
    if (!path)
        return false;
    // A name without an extension gets the project's own.
    if (std::filesystem::path(*path).extension().empty())
        *path += CQpgDoc::kFileExtension;
    const bool saved = SaveTo(*path);
    if (saved)
        recent_.Add(doc_.GetPathName());
    return saved;
}

// ---- Edit commands --------------------------------------------------------------

namespace {

// Every command dialog runs the same way: a command made from the project,
// its dialog shown modal, then the values handed back to the project (the
// command sets the modified flag where they differ). `after` sees the dialog
// once it has closed, before the values go back; `prepare` sees the command
// before the dialog is made from it.
template <class TCommand, class TDialog>
void RunCommandDialog(CQpgDoc& doc, const SDialogServices& services, QWidget* parent,
                      const std::function<void(TDialog&)>& after = {},
                      const std::function<void(TCommand&)>& prepare = {})
{
    TCommand command(doc);
    if (prepare)
        prepare(command);
    TDialog dialog(command, services, parent);
    dialog.exec();
    if (after)
        after(dialog);
    command.StoreBack();
}

// A target command's dialog runs the same way, with the probe library and
// the bridge through which the operation, on its worker thread, reaches the
// dialog's status line and boxes.
template <class TCommand, class TDialog>
void RunTargetDialog(CQpgDoc& doc, CProbeLibrary& library, const SDialogServices& services, QWidget* parent)
{
    CWorkerBridge bridge;
    TCommand command(doc, STargetContext{library, bridge, bridge});
    TDialog dialog(command, bridge, services, parent);
    dialog.exec();
    command.StoreBack();
}

} // namespace

SDialogServices CMainFrame::DialogServices()
{
    // A box handed in (tests) goes to the dialogs too; otherwise each dialog
    // shows the platform's boxes over itself.
    return SDialogServices{ownBox_ ? nullptr : box_, chooser_,
                           [this](const QString& section, QWidget* dialog) { ShowHelp(section, dialog); }};
}

void CMainFrame::EditLoad()
{
    RunCommandDialog<CLoadCommand, CLoadDialog>(doc_, DialogServices(), this);
    UpdateCommands();
}

int CMainFrame::RunAutoload(CQpgDoc& doc, COperationView&, CMessageBox&)
{
    int result = -1;
    RunCommandDialog<CLoadCommand, CLoadDialog>(doc, DialogServices(), this,
                                                [&result](CLoadDialog& dialog) { result = dialog.LastResult(); });
    return result;
}

void CMainFrame::EditStore()
{
    RunCommandDialog<CStoreCommand, CStoreDialog>(doc_, DialogServices(), this);
    UpdateCommands();
}

void CMainFrame::EditImage()
{
    RunCommandDialog<CEditImageCommand, CEditImageDialog>(doc_, DialogServices(), this);
    UpdateCommands();
}

void CMainFrame::EditClear()
{
    doc_.ClearImage(*box_);
}

void CMainFrame::EditFill()
{
    RunCommandDialog<CFillCommand, CFillDialog>(doc_, DialogServices(), this);
    UpdateCommands();
}

void CMainFrame::EditChecksum()
{
    RunCommandDialog<CChecksumCommand, CChecksumDialog>(doc_, DialogServices(), this);
    UpdateCommands();
}

// ---- Setup commands -------------------------------------------------------------

void CMainFrame::SetupCommunication()
{
    CCommSetupCommand command(doc_, ProbeLibrary(), *box_);
    CCommSetupDialog dialog(command, DialogServices(), this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    command.StoreBack(accepted);
    UpdateCommands();
}

void CMainFrame::SetupFirmware()
{
    std::string directory = settings_.Get(ESetting::ProgramDirectory);
    if (directory.empty())
        directory = QCoreApplication::applicationDirPath().toStdString();
    CProbeUpdateDialog dialog(doc_, ProbeLibrary(), directory, DialogServices(), this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    dialog.Command().StoreBack(accepted);
    UpdateCommands();
}

void CMainFrame::SetupTargetMemory()
{
    RunCommandDialog<CTargetSetupCommand, CTargetSetupDialog>(doc_, DialogServices(), this);
    UpdateCommands();
}

void CMainFrame::SetupInitList(int which)
{
    CInitListCommand command(doc_, static_cast<CQpgDoc::EInitList>(which));
    CInitListDialog dialog(command, DialogServices(), this);
    dialog.exec();
    command.StoreBack();
    UpdateCommands();
}

// ---- Target commands ------------------------------------------------------------

CProbeLibrary& CMainFrame::ProbeLibrary()
{
    if (!probe_) {
        ownProbe_ = std::make_unique<CLinkLibrary>(settings_);
        probe_ = ownProbe_.get();
    }
    return *probe_;
}

void CMainFrame::EditDump()
{
    RunTargetDialog<CDumpCommand, CDumpDialog>(doc_, ProbeLibrary(), DialogServices(), this);
    UpdateCommands();
}

void CMainFrame::TargetErase()
{
    RunTargetDialog<CEraseCommand, CEraseDialog>(doc_, ProbeLibrary(), DialogServices(), this);
    UpdateCommands();
}

void CMainFrame::TargetProgram()
{
    RunTargetDialog<CProgramCommand, CProgramDialog>(doc_, ProbeLibrary(), DialogServices(), this);
    UpdateCommands();
}

void CMainFrame::TargetVerify()
{
    RunTargetDialog<CVerifyCommand, CVerifyDialog>(doc_, ProbeLibrary(), DialogServices(), this);
    UpdateCommands();
}

// ---- The setup report ----------------------------------------------------------------

void CMainFrame::PrintReport()
{
    printer_->Print(CReportPrinter::Content(doc_, DocumentTitle(), settings_));
}

void CMainFrame::PreviewReport()
{
    printer_->Preview(CReportPrinter::Content(doc_, DocumentTitle(), settings_),
                      static_cast<int>(settings_.GetInt(ESetting::PreviewPages, 1)));
}

void CMainFrame::PrintSetup()
{
    printer_->Setup();
}

void CMainFrame::EditPrintComment()
{
    CPrintCommentCommand command(doc_);
    CPrintCommentDialog dialog(command, this);
    if (dialog.exec() == QDialog::Accepted)
        command.StoreBack(doc_);
    UpdateCommands();
}

bool CMainFrame::ExportReportPdf()
{
    const QString base = doc_.GetPathName().empty() ? QString::fromLatin1(kUntitled)
                                                    : QFileInfo(QString::fromStdString(doc_.GetPathName()))
                                                          .completeBaseName();
    const auto path = chooser_->ChooseSave(this, "PDF Files (*.pdf) | *.pdf||", base.toStdString() + ".pdf", true);
    if (!path)
        return false;
    std::string error;
    if (!CReportPrinter::ExportPdf(CReportPrinter::Content(doc_, DocumentTitle(), settings_), *path, error)) {
        box_->Show(error, "File-Error", EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    }
    statusBar()->showMessage(tr("Report written to %1").arg(QString::fromStdString(*path)), 5000);
    return true;
}

// ---- The rest -----------------------------------------------------------------------

CHelpWindow* CMainFrame::ShowHelp(const QString& section, QWidget* over)
{
    CHelpWindow* window = help_;
    if (over) {
        // Over a modal dialog the manual opens as a window of the dialog
        // itself: any other window would be blocked while the dialog runs.
        window = new CHelpWindow(over);
        window->setAttribute(Qt::WA_DeleteOnClose);
    } else if (!help_) {
        window = help_ = new CHelpWindow(this);
    }
    if (!section.isEmpty())
        window->ShowSection(section);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void CMainFrame::ShowAbout()
{
    CAboutDialog about(this);
    about.exec();
}

void CMainFrame::UpdateCommands()
{
    for (EDoc c : kDocCommands)
        Action(Id(c))->setEnabled(doc_.IsCommandEnabled(c));
    // "[*]" shows as "*" while the project has unsaved changes.
    setWindowTitle(DocumentTitle() + "[*] - " + QString::fromLatin1(kTitle));
    setWindowModified(doc_.IsModified());
    view_->Refresh(doc_, DocumentTitle(), settings_);
    RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu()
{
    if (recentActions_.isEmpty()) {
        for (int i = 0; i < CRecentFileList::kSize; ++i) {
            auto* action = new QAction(this);
            action->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
            action->setStatusTip(tr("Open this document"));
            connect(action, &QAction::triggered, this, [this, i] { OpenRecent(i); });
            fileMenu_->insertAction(recentSeparator_, action);
            recentActions_.push_back(action);
        }
    }
    const auto& files = recent_.Files();
    Action(FileRecent)->setVisible(files.empty());
    const QFontMetrics fm(fileMenu_->font());
    for (int i = 0; i < recentActions_.size(); ++i) {
        QAction* action = recentActions_[i];
        const bool used = static_cast<size_t>(i) < files.size();
        action->setVisible(used);
        if (!used)
            continue;
        const QString path = ShownPath(files[static_cast<size_t>(i)]);
        const QString shown = fm.elidedText(path, Qt::ElideMiddle, fm.averageCharWidth() * 60);
        // "&&" keeps an ampersand in a path from being taken for a mnemonic.
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QString(shown).replace('&', "&&")));
    }
}

// ---- Files dropped on the window ----------------------------------------------------

namespace {

// The dropped local file's name as the bytes of the system (a URL carries
// them percent-encoded), or the empty name.
std::string DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return {};
    const QUrl url = data->urls().first();
    if (!url.isLocalFile())
        return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).empty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const std::string path = DroppedFile(event->mimeData());
    if (path.empty())
        return;
    event->acceptProposedAction();
    // Let the drag end before a dialog or box opens.
    QTimer::singleShot(0, this, [this, path] { OpenDropped(path); });
}

bool CMainFrame::OpenDropped(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == CQpgDoc::kFileExtension)
        return OpenPath(path);
    // Any other file is a program file for the memory image: the Load dialog
    // opens with it and loads it at once (closing itself when that worked).
    if (!doc_.IsCommandEnabled(EDoc::Load)) {
        box_->Show("Loading a program file needs a flash device.\nChoose one with Setup > Target Memory first.", "",
                   EMsgIcon::Information, EMsgButtons::Ok);
        return false;
    }
    int result = -1;
    RunCommandDialog<CLoadCommand, CLoadDialog>(
        doc_, DialogServices(), this, [&result](CLoadDialog& dialog) { result = dialog.LastResult(); },
        [&path](CLoadCommand& command) {
            command.model.fileName = path;
            command.model.openedForAutoload = true;
        });
    UpdateCommands();
    return result == 0;
}
