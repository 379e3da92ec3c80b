#include "gui/app/main_frame.h"

#include "gui/app/about_dialog.h"
#include "gui/app/document_commands.h"
#include "gui/app/file_commands.h"
#include "gui/app/help_window.h"
#include "gui/app/lock_indicators.h"
#include "gui/app/qpg_view.h"
#include "gui/app/recent_file_list.h"
#include "gui/app/report_commands.h"
#include "gui/app/svg_icon.h"
#include "gui/app/window_placement.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/native_path.h"
#include "gui/widgets/qt_message_box.h"
#include "project/qpg_doc.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWhatsThis>

#include <utility>

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
    const SWindowContext context{*this, *box_, [this] { return DialogServices(); }, [this] { UpdateCommands(); }};
    commands_ = std::make_unique<CDocumentCommands>(context, doc_, settings_);
    files_ = std::make_unique<CFileCommands>(context, doc_, recent_, *chooser_, *commands_);
    report_ = std::make_unique<CReportCommands>(context, doc_, settings_, *chooser_);
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

    CFileCommands& files = *files_;
    connect(Action(FileNew), &QAction::triggered, this, [&files] { files.NewFile(); });
    connect(Action(FileOpen), &QAction::triggered, this, [&files] { files.OpenFile(); });
    connect(Action(FileSave), &QAction::triggered, this, [&files] { files.SaveFile(); });
    connect(Action(FileSaveAs), &QAction::triggered, this, [&files] { files.SaveFileAs(); });
    connect(Action(AppExit), &QAction::triggered, this, &QWidget::close);

    // Each document command's handler, by menu entry.
    CDocumentCommands& commands = *commands_;
    const std::pair<EDoc, void (CDocumentCommands::*)()> handlers[] = {
        {EDoc::Load, &CDocumentCommands::EditLoad},
        {EDoc::Store, &CDocumentCommands::EditStore},
        {EDoc::Edit, &CDocumentCommands::EditImage},
        {EDoc::Clear, &CDocumentCommands::EditClear},
        {EDoc::Fill, &CDocumentCommands::EditFill},
        {EDoc::Checksum, &CDocumentCommands::EditChecksum},
        {EDoc::Communication, &CDocumentCommands::SetupCommunication},
        {EDoc::Firmware, &CDocumentCommands::SetupFirmware},
        {EDoc::TargetMemory, &CDocumentCommands::SetupTargetMemory},
        {EDoc::Dump, &CDocumentCommands::EditDump},
        {EDoc::Erase, &CDocumentCommands::TargetErase},
        {EDoc::Program, &CDocumentCommands::TargetProgram},
        {EDoc::Verify, &CDocumentCommands::TargetVerify},
    };
    for (const auto& [id, handler] : handlers)
        connect(Action(Id(id)), &QAction::triggered, this, [&commands, handler = handler] { (commands.*handler)(); });
    const std::pair<EDoc, CQpgDoc::EInitList> lists[] = {
        {EDoc::MainList, CQpgDoc::MainList},           {EDoc::PreEraseList, CQpgDoc::PreEraseList},
        {EDoc::PostEraseList, CQpgDoc::PostEraseList}, {EDoc::PreProgramList, CQpgDoc::PreProgramList},
        {EDoc::PostProgramList, CQpgDoc::PostProgramList}};
    for (const auto& [id, list] : lists)
        connect(Action(Id(id)), &QAction::triggered, this, [&commands, list = list] { commands.SetupInitList(list); });

    CReportCommands& report = *report_;
    connect(Action(FilePrint), &QAction::triggered, this, [&report] { report.PrintReport(); });
    connect(Action(FilePrintPreview), &QAction::triggered, this, [&report] { report.PreviewReport(); });
    connect(Action(FilePrintSetup), &QAction::triggered, this, [&report] { report.PrintSetup(); });
    connect(Action(Id(EDoc::PrintComment)), &QAction::triggered, this, [&report] { report.EditPrintComment(); });
    connect(Action(FileExportPdf), &QAction::triggered, this, [&report] { report.ExportReportPdf(); });
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
    if (!files_->SaveModified()) {
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
    const QString title = CFileCommands::DocumentTitle(doc_);
    setWindowTitle(title + "[*] - " + QString::fromLatin1(kTitle));
    setWindowModified(doc_.IsModified());
    view_->Refresh(doc_, title, settings_);
    RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu()
{
    if (recentActions_.isEmpty()) {
        for (int i = 0; i < CRecentFileList::kSize; ++i) {
            auto* action = new QAction(this);
            action->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
            action->setStatusTip(tr("Open this document"));
            connect(action, &QAction::triggered, this, [this, i] { files_->OpenRecent(i); });
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


SDialogServices CMainFrame::DialogServices()
{
    // A box handed in (tests) goes to the dialogs too; otherwise each dialog
    // shows the platform's boxes over itself.
    return SDialogServices{ownBox_ ? nullptr : box_, chooser_,
                           [this](const QString& section, QWidget* dialog) { ShowHelp(section, dialog); }};
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!CFileCommands::DroppedFile(event->mimeData()).empty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const std::string path = CFileCommands::DroppedFile(event->mimeData());
    if (path.empty())
        return;
    event->acceptProposedAction();
    // Let the drag end before a dialog or box opens.
    QTimer::singleShot(0, this, [this, path] { files_->OpenDropped(path); });
}
