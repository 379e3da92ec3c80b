// The application and its main window: menus and enabling, the file
// commands with the save-changes question, the settings kept between runs,
// and the dialogs the frame opens.
#include "gui/app/about_dialog.h"
#include "gui/app/help_window.h"
#include "gui/app/main_frame.h"
#include "gui/app/window_placement.h"
#include "catalogue/flash_catalogue.h"
#include "gui/widgets/qt_message_box.h"
#include "gui/dialogs/load_dialog.h"
#include "gui/gui_test_support.h"
#include "gui/main_frame_fixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QTextBrowser>
#include <QToolBar>

#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> MenuTexts(QMenu* menu)
{
    std::vector<std::string> texts;
    for (QAction* a : menu->actions()) {
        if (a->isVisible())
            texts.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    }
    return texts;
}

// ---- Menus, toolbar, enabling ------------------------------------------------------

TEST_F(MainFrame, MenusAndToolbarStandInTheirOrder)
{
    std::vector<std::string> titles;
    for (QAction* a : Frame().menuBar()->actions())
        titles.push_back(a->text().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Edit", "&Target", "&Setup", "&View", "&Help"}));
    EXPECT_EQ(MenuTexts(Frame().findChild<QMenu*>("fileMenu")),
              (std::vector<std::string>{"&New", "&Open...", "&Save", "Save &As...", "-", "&Print...", "Print Pre&view",
                                        "P&rint Setup...", "Print &Comment...", "&Export Report as PDF...", "-", "Recent File", "-", "E&xit"}));
    EXPECT_EQ(MenuTexts(Frame().findChild<QMenu*>("editMenu")),
              (std::vector<std::string>{"&Load...", "&Store...", "&Dump...", "&Edit...", "&Clear", "&Fill...",
                                        "C&hecksum..."}));
    EXPECT_EQ(MenuTexts(Frame().findChild<QMenu*>("initListMenu")),
              (std::vector<std::string>{"&Main...", "-", "&Pre-Erase...", "P&ost-Erase...", "P&re-Program...",
                                        "Po&st-Program..."}));
    EXPECT_EQ(MenuTexts(Frame().findChild<QMenu*>("helpMenu")),
              (std::vector<std::string>{"&Help Topics", "-", "&About Tarvel..."}));

    std::vector<int> buttons;
    for (QAction* a : Frame().findChild<QToolBar*>("toolBar")->actions())
        buttons.push_back(a->isSeparator() ? 0 : a->objectName().mid(6).toInt());
    EXPECT_EQ(buttons, (std::vector<int>{57600, 57601, 57603, 0, 32768, 32771, 57632, 32773, 0, 32774, 32775, 32776,
                                         0, 57607, 57664, 57669}));

    QAction* load = Frame().Action(Id(EDoc::Load));
    EXPECT_EQ(load->statusTip(), "Load a program file into local memory");
    EXPECT_EQ(load->toolTip(), "Load");
    EXPECT_EQ(Frame().Action(CMainFrame::FileNew)->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(Frame().IdlePane()->text(), "For Help, press F1");
    EXPECT_EQ(Title(), "Untitled - Tarvel");
}

TEST_F(MainFrame, ImageAndTargetCommandsNeedADeviceAndEraseAnEraseAlgorithm)
{
    std::string noEraseDevice;
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount() && noEraseDevice.empty(); ++i) {
        if (CFlashCatalogue::FlashDeviceAt(i)->eraseAlgorithm == 0)
            noEraseDevice = CFlashCatalogue::FlashDeviceAt(i)->name;
    }
    ASSERT_FALSE(noEraseDevice.empty());
    struct Case {
        std::string device;
        bool image;
        bool erase;
    };
    const Case cases[] = {
        {"NONE", false, false},
        {"no such device", true, false},
        {noEraseDevice, true, false},
        {kDevice, true, true},
    };
    const EDoc imageCommands[] = {EDoc::Load, EDoc::Store, EDoc::Dump,    EDoc::Edit,  EDoc::Clear,
                                  EDoc::Fill, EDoc::Checksum, EDoc::Program, EDoc::Verify};
    for (const Case& c : cases) {
        Doc().memoryType = c.device;
        Frame().UpdateCommands();
        for (EDoc command : imageCommands)
            EXPECT_EQ(Frame().Action(Id(command))->isEnabled(), c.image) << c.device << " " << Id(command);
        EXPECT_EQ(Frame().Action(Id(EDoc::Erase))->isEnabled(), c.erase) << c.device;
        for (int always : {Id(EDoc::Communication), Id(EDoc::TargetMemory), Id(EDoc::MainList),
                           int(CMainFrame::FileOpen), int(CMainFrame::AppAbout)})
            EXPECT_TRUE(Frame().Action(always)->isEnabled()) << always;
    }
}

TEST_F(MainFrame, SetupCommandsOpenTheirDialogsAndCancelLeavesTheProjectAlone)
{
    const struct {
        EDoc command;
        const char* dialog;
        const char* caption;
    } cases[] = {
        {EDoc::TargetMemory, "targetSetupDialog", "Target Memory Setup"},
        {EDoc::Communication, "commSetupDialog", "Communication Setup"},
        {EDoc::Firmware, "probeUpdateDialog", "QDX7000 Update/Setup"},
        {EDoc::MainList, "initListDialog", "Main Initlist"},
        {EDoc::PreEraseList, "initListDialog", "Pre Erase Initlist"},
        {EDoc::PostEraseList, "initListDialog", "Post Erase Initlist"},
        {EDoc::PreProgramList, "initListDialog", "Pre Program Initlist"},
        {EDoc::PostProgramList, "initListDialog", "Post Program Initlist"},
    };
    for (const auto& c : cases) {
        QString name, title;
        WhenModal([&](QWidget* window) {
            name = window->objectName();
            title = window->windowTitle();
            QTest::keyClick(window, Qt::Key_Escape);
        });
        TriggerAction(Frame().Action(Id(c.command)));
        EXPECT_EQ(name.toStdString(), c.dialog);
        EXPECT_EQ(title.toStdString(), c.caption);
        EXPECT_FALSE(Doc().IsModified()) << c.dialog;
    }
    EXPECT_TRUE(box.shown.empty()) << box.shown[0].text;
}

TEST(QtMessageBox, ShowsTheApplicationTitleWhenNoCaptionIsGivenAndMapsIconsAndButtons)
{
    struct Case {
        const char* caption;
        EMsgIcon icon;
        EMsgButtons buttons;
        QMessageBox::StandardButton press;
        const char* title;
        QMessageBox::Icon qicon;
        EMsgResult result;
    };
    const Case cases[] = {
        {"", EMsgIcon::Question, EMsgButtons::YesNo, QMessageBox::No, "Tarvel for ARM (QDX7000)",
         QMessageBox::Question, EMsgResult::No},
        {"Fatal Error", EMsgIcon::Stop, EMsgButtons::Ok, QMessageBox::Ok, "Fatal Error", QMessageBox::Critical,
         EMsgResult::Ok},
        {"Warning", EMsgIcon::Exclamation, EMsgButtons::YesNoCancel, QMessageBox::Cancel, "Warning",
         QMessageBox::Warning, EMsgResult::Cancel},
    };
    for (const Case& c : cases) {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
        WhenModal([&](QWidget* w) {
            auto* shown = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(shown, nullptr);
            title = shown->windowTitle();
            icon = shown->icon();
            text = shown->text();
            shown->button(c.press)->click();
        });
        CQtMessageBox box;
        EXPECT_EQ(box.Show("Line one\nline two", c.caption, c.icon, c.buttons), c.result);
        EXPECT_EQ(title.toStdString(), c.title);
        EXPECT_EQ(icon, c.qicon);
        EXPECT_EQ(text, "Line one\nline two");
    }
}

TEST(QtMessageBox, TheLoadWarningsTwoRangesStandInOneColumn)
{
    const std::string warning = "Some of 32 loaded bytes are outside of the defined memory range !!\n\n"
                                "Memory range:\t00000000 - 0000FFFF Hex\nFile range:\t0000FFF0 - 0001000F Hex\n";
    QString html;
    Qt::TextFormat format = Qt::PlainText;
    WhenModal([&](QWidget* w) {
        auto* shown = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(shown, nullptr);
        html = shown->text();
        format = shown->textFormat();
        shown->button(QMessageBox::Ok)->click();
    });
    CQtMessageBox box;
    box.Show(warning, "Warning", EMsgIcon::Exclamation, EMsgButtons::Ok);
    ASSERT_EQ(format, Qt::RichText);
    // The two ranges are the rows of one table: their values share a column.
    QTextDocument document;
    document.setHtml(html);
    QTextTable* table = nullptr;
    for (QTextFrame* frame : document.rootFrame()->childFrames())
        table = table ? table : qobject_cast<QTextTable*>(frame);
    ASSERT_NE(table, nullptr) << html.toStdString();
    ASSERT_EQ(table->rows(), 2);
    ASSERT_EQ(table->columns(), 2);
    const auto cell = [&](int r, int c) {
        QTextCursor from = table->cellAt(r, c).firstCursorPosition();
        from.setPosition(table->cellAt(r, c).lastCursorPosition().position(), QTextCursor::KeepAnchor);
        return from.selectedText();
    };
    EXPECT_EQ(cell(0, 0), "Memory range:");
    EXPECT_EQ(cell(0, 1), "00000000 - 0000FFFF Hex");
    EXPECT_EQ(cell(1, 0), "File range:");
    EXPECT_EQ(cell(1, 1), "0000FFF0 - 0001000F Hex");
    EXPECT_TRUE(document.toRawText().startsWith(
        QString::fromUtf8("Some of 32 loaded bytes are outside of the defined memory range\u00A0!!")));
}

// A question whose safe answer is No has No as its default button: Enter
// answers No.
TEST(QtMessageBox, DefaultNoQuestionsAnswerNoOnTheDefaultButton)
{
    bool noIsDefault = false;
    WhenModal([&](QWidget* w) {
        auto* shown = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(shown, nullptr);
        noIsDefault = static_cast<QAbstractButton*>(shown->defaultButton()) == shown->button(QMessageBox::No);
        shown->defaultButton()->click();
    });
    CQtMessageBox box;
    EXPECT_EQ(box.Show("Load it?", "Confirmed", EMsgIcon::Question, EMsgButtons::YesNoDefaultNo), EMsgResult::No);
    EXPECT_TRUE(noIsDefault);
}

// ---- Edit commands through the frame ------------------------------------------------

TEST_F(MainFrame, ClearAsksAndLeavesTheModifiedFlagAlone)
{
    Doc().memoryType = kDevice;
    Frame().UpdateCommands();
    const uint8_t byte = 0x42;
    Doc().image.WriteBlock(0x10, &byte, 1);
    box.Answer(EMsgResult::No);
    TriggerAction(Frame().Action(Id(EDoc::Clear)));
    EXPECT_EQ(Doc().image.ReadByte(0x10), 0x42);
    box.Answer(EMsgResult::Yes);
    TriggerAction(Frame().Action(Id(EDoc::Clear)));
    EXPECT_EQ(Doc().image.ReadByte(0x10), 0xFF);
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[1].text, "Are you sure to clear the entire memory image?");
    EXPECT_EQ(box.shown[1].buttons, EMsgButtons::YesNo);
    EXPECT_FALSE(Doc().IsModified());
}

TEST_F(MainFrame, LoadDialogValuesGoBackIntoTheProjectWhenItCloses)
{
    Doc().memoryType = kDevice;
    Doc().physicalRange = CMemoryRange(0, 0x10000, 1);
    Frame().UpdateCommands();
    const std::string sample = std::string(TARVEL_TEST_DATA_DIR) + "/files/sample.hex";
    WhenModal([&](QWidget* w) {
        Type(w, "fileNameEdit", QString::fromStdString(sample));
        Click(w, "loadButton");
        Click(w, "closeButton");
    });
    TriggerAction(Frame().Action(Id(EDoc::Load)));
    EXPECT_EQ(Doc().loadFileName, sample);
    EXPECT_TRUE(Doc().IsModified()) << "the file name changed";
    EXPECT_EQ(Doc().image.ReadByte(0x101), 0xAD);

    // Loading again changes only the image: the project stays unmodified.
    Doc().SetModifiedFlag(false);
    Doc().image.Clear();
    WhenModal([&](QWidget* w) {
        Click(w, "loadButton");
        QTest::keyClick(w, Qt::Key_Escape);
    });
    TriggerAction(Frame().Action(Id(EDoc::Load)));
    EXPECT_EQ(Doc().image.ReadByte(0x101), 0xAD);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";
}

TEST_F(MainFrame, AutoloadClosesTheLoadDialogOnSuccessAndKeepsItOpenOnAMissingFile)
{
    const std::string sample = std::string(TARVEL_TEST_DATA_DIR) + "/files/sample.hex";
    const std::string good = Project("good.tvl", true, sample);
    const std::string bad = Project("bad.tvl", true, dir.File("gone.hex"));

    EXPECT_TRUE(Frame().Files().OpenPath(good));
    EXPECT_EQ(Doc().AutoloadResult(), 0);
    EXPECT_EQ(Doc().image.ReadByte(0x100), 0xDE);
    EXPECT_TRUE(box.shown.empty());

    bool stayedOpen = false;
    QString status;
    WhenModal([&](QWidget* w) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !box.shown.empty(); }, 5000));
        QTest::qWait(50);
        stayedOpen = w->isVisible();
        status = Text(w, "statusLine");
        Click(w, "closeButton");
    });
    EXPECT_TRUE(Frame().Files().OpenPath(bad));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(status, "");
    ASSERT_EQ(box.shown.size(), 1u);
    // The system's text, then the file and the reason.
    EXPECT_EQ(box.shown[0].text.rfind("Can not open file !\nLoading process aborted...\n\n", 0), 0u) << box.shown[0].text;
    EXPECT_NE(box.shown[0].text.find("gone.hex: No such file or directory"), std::string::npos) << box.shown[0].text;
    EXPECT_EQ(Doc().AutoloadResult(), 1);
    EXPECT_EQ(Doc().image.ReadByte(0x100), 0xFF) << "opening emptied the image";
}

// ---- File commands and the save-changes question -----------------------------------

TEST_F(MainFrame, NewOpenAndExitAskToSaveChanges)
{
    const std::string other = Project("other.tvl");
    Doc().comment = "edited";
    Doc().SetModifiedFlag();

    box.Answer(EMsgResult::Cancel);
    EXPECT_FALSE(Frame().Files().NewFile());
    EXPECT_EQ(Doc().comment, "edited");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Save changes to Untitled?");
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNoCancel);

    box.Answer(EMsgResult::Cancel);
    EXPECT_FALSE(Frame().Files().OpenPath(other));
    EXPECT_EQ(Doc().GetPathName(), "");

    // Open asks before its file dialog, and only once: Cancel shows no file
    // dialog, No goes on to it and opens without asking again.
    box.shown.clear();
    box.Answer(EMsgResult::Cancel);
    EXPECT_FALSE(Frame().Files().OpenFile());
    EXPECT_TRUE(chooser.asked.empty());
    EXPECT_EQ(box.shown.size(), 1u);
    box.Answer(EMsgResult::No);
    chooser.answers.push_back(other);
    EXPECT_TRUE(Frame().Files().OpenFile());
    EXPECT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(box.shown.size(), 2u) << "one question for one Open";
    EXPECT_EQ(Doc().GetPathName(), other);
    Frame().Files().NewFile();
    chooser.asked.clear();
    box.shown.clear();
    Doc().comment = "edited";
    Doc().SetModifiedFlag();

    Frame().show();
    box.Answer(EMsgResult::Cancel);
    EXPECT_FALSE(Frame().close());
    EXPECT_TRUE(Frame().isVisible());

    // Yes saves through Save As first.
    const std::string saved = dir.File("saved");
    chooser.answers.push_back(saved);
    box.Answer(EMsgResult::Yes);
    EXPECT_TRUE(Frame().Files().NewFile());
    EXPECT_TRUE(std::filesystem::exists(saved + ".tvl")) << "the extension is added";
    EXPECT_EQ(chooser.asked.back(), "save-confirmed|Tarvel Files (*.tvl) | *.tvl| All Files (*.*) | *.*||" "|Untitled.tvl");
    EXPECT_EQ(Doc().comment, "");
    EXPECT_EQ(Title(), "Untitled - Tarvel");

    Doc().SetModifiedFlag();
    box.Answer(EMsgResult::No);
    EXPECT_TRUE(Frame().Files().OpenPath(other));
    EXPECT_EQ(Title(), "other.tvl - Tarvel");
    EXPECT_TRUE(Frame().close());
}

// ---- Settings kept between runs -------------------------------------------------------

TEST_F(MainFrame, RecentFilesKeepTheFourNewestAndTheNewestReopensAtStartUp)
{
    std::vector<std::string> projects;
    for (int i = 1; i <= 5; ++i)
        projects.push_back(Project("p" + std::to_string(i) + ".tvl"));
    for (const std::string& p : projects)
        ASSERT_TRUE(Frame().Files().OpenPath(p));
    ASSERT_TRUE(Frame().Files().OpenPath(projects[2])); // an old entry moves to the top
    EXPECT_EQ(app->Recent().Files(), (std::vector<std::string>{projects[2], projects[4], projects[3], projects[1]}));
    EXPECT_EQ(Stored("Recent File List/File1").toStdString(), projects[2]);
    EXPECT_EQ(Stored("Recent File List/File4").toStdString(), projects[1]);
    QAction* first = Frame().findChild<QAction*>("recentFile1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text().toStdString(), "&1 " + projects[2]);

    Start();
    ASSERT_TRUE(app->InitInstance({"tarvel"}));
    EXPECT_EQ(Doc().GetPathName(), projects[2]);
    EXPECT_EQ(Title(), "p3.tvl - Tarvel");

    std::filesystem::remove(projects[2]);
    Start();
    ASSERT_TRUE(app->InitInstance({"tarvel"}));
    EXPECT_EQ(Doc().GetPathName(), "");
    EXPECT_EQ(Title(), "Untitled - Tarvel");
    EXPECT_TRUE(box.shown.empty()) << "a vanished project is skipped silently";
}

TEST_F(MainFrame, AFileOnTheCommandLineThatCannotBeOpenedEndsTheStart)
{
    const std::string project = Project("named.tvl");
    ASSERT_TRUE(app->InitInstance({"tarvel", project}));
    EXPECT_EQ(Doc().GetPathName(), project);

    Start();
    EXPECT_FALSE(app->InitInstance({"tarvel", dir.File("missing.tvl")}));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].caption, "File-Error");
}

TEST_F(MainFrame, WindowRectangleIsKeptAndOnlyAppliedInsideTheDesktop)
{
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    const QRect inside(desktop.left() + 20, desktop.top() + 30, 500, 300);
    struct Case {
        long left, top, right, bottom;
        bool applied;
    };
    const long l = inside.left(), t = inside.top();
    const Case cases[] = {
        {l, t, l + 500, t + 300, true},
        {l, t, desktop.right() + 50, t + 300, false},   // reaches beyond the desktop
        {desktop.left() - 1, t, l + 500, t + 300, false},
        {65535, t, l + 500, t + 300, false},           // "no stored position"
    };
    for (const Case& c : cases) {
        Start();
        CWindowPlacement::Keep(app->Settings(), {c.left, c.top, c.right, c.bottom});
        Start();
        const QRect before = Frame().geometry();
        ASSERT_TRUE(app->InitInstance({"tarvel"}));
        if (c.applied)
            EXPECT_EQ(Frame().geometry(), inside);
        else
            EXPECT_EQ(Frame().geometry(), before) << c.left << "," << c.right;
    }

    // Closing in the normal state writes the rectangle; maximised keeps the old one.
    Start();
    ASSERT_TRUE(app->InitInstance({"tarvel"}));
    Frame().setGeometry(QRect(l + 10, t + 10, 400, 250));
    Frame().show();
    ASSERT_TRUE(Frame().close());
    EXPECT_EQ(Stored("WindowPos/leftPos").toLong(), l + 10);
    EXPECT_EQ(Stored("WindowPos/bottomPos").toLong(), t + 10 + 250);

    Start();
    ASSERT_TRUE(app->InitInstance({"tarvel"}));
    Frame().showMaximized();
    ASSERT_TRUE(Frame().close());
    EXPECT_EQ(Stored("WindowPos/leftPos").toLong(), l + 10);
    EXPECT_EQ(Stored("WindowPos/rightPos").toLong(), l + 10 + 400);
}

// ---- About and help --------------------------------------------------------------------

TEST_F(MainFrame, AboutShowsProductAndVersionAndHelpShowsTheManual)
{
    QString title, product, version;
    WhenModal([&](QWidget* w) {
        title = w->windowTitle();
        product = Text(w, "productLabel");
        version = Text(w, "versionLabel");
        static_cast<QDialog*>(w)->accept();
    });
    TriggerAction(Frame().Action(CMainFrame::AppAbout));
    EXPECT_EQ(title, "About Tarvel");
    EXPECT_EQ(product, "Flashprogramming for ARM");
    EXPECT_EQ(version, "Version 1.13 (QDX7000)");

    TriggerAction(Frame().Action(CMainFrame::HelpTopics));
    auto* help = Frame().findChild<CHelpWindow*>("helpWindow");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->Browser()->toPlainText().contains("The Edit menu"));
    EXPECT_TRUE(help->Browser()->toPlainText().contains("qdx7000-sim --port 17001 --board boards/demo.board"));
}

} // namespace
