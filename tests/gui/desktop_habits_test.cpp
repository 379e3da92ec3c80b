// What a person used to desktop programs expects of the main window: file
// names kept whole and as the system's bytes, Save that respects a read-only
// file and another program's change, files dropped on the window, the title
// marking unsaved changes, F1 in every dialog, exact captions, and the
// command line's --help and --version.
#include "gui/app/command_line.h"
#include "gui/app/help_window.h"
#include "gui/dialogs/command_dialog.h"
#include "gui/main_frame_fixture.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/qt_message_box.h"

#include <QAbstractTextDocumentLayout>
#include <QDragEnterEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QUrl>

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

std::string SampleHex()
{
    return std::string(TARVEL_TEST_DATA_DIR) + "/files/sample.hex";
}

// A path of more than 300 characters: a folder of 200 and a name of 100.
std::string LongPath(const CTempDir& dir, const std::string& extension)
{
    const fs::path folder = dir.Path() / std::string(200, 'd');
    fs::create_directories(folder);
    const std::string path = (folder / (std::string(100 - extension.size(), 'n') + extension)).string();
    EXPECT_GT(path.size(), 300u);
    return path;
}

class DesktopHabits : public MainFrame {
protected:
    void UseDevice()
    {
        Doc().memoryType = kDevice;
        Doc().physicalRange = CMemoryRange(0, 0x10000, 1);
        Frame().UpdateCommands();
    }
    // The project `path` as another program (tarvel-cli) leaves it.
    void SaveElsewhere(const std::string& path, const std::string& comment)
    {
        CQpgDoc other;
        CRecordingOperationView view;
        CScriptedMessageBox quiet;
        ASSERT_TRUE(other.Open(path, view, quiet));
        other.comment = comment;
        ASSERT_TRUE(other.Save(path, quiet));
    }
    std::string CommentIn(const std::string& path)
    {
        CQpgDoc read;
        CRecordingOperationView view;
        CScriptedMessageBox quiet;
        EXPECT_TRUE(read.Open(path, view, quiet));
        return read.comment;
    }
    void Drop(const QList<QUrl>& urls, bool expectAccepted = true)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &enter);
        EXPECT_EQ(enter.isAccepted(), expectAccepted);
        if (!enter.isAccepted())
            return;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &drop);
    }
};

TEST_F(DesktopHabits, AFileNameOfMoreThan300CharactersIsKeptWholeThroughLoadStoreAndTheProject)
{
    UseDevice();
    const std::string program = LongPath(dir, ".hex");
    fs::copy_file(SampleHex(), program);
    const std::string records = LongPath(dir, ".sss");
    Doc().loadFileName = program;
    Doc().storeFileName = records;
    Doc().storeRange = CMemoryRange(0x100, 0x10, 1);
    Doc().SetModifiedFlag(false);

    // Opening Load and leaving with Escape changes nothing.
    WhenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    TriggerAction(Frame().Action(Id(EDoc::Load)));
    EXPECT_EQ(Doc().loadFileName, program);
    EXPECT_FALSE(Doc().IsModified());

    // Load reads the long name, Store writes it.
    WhenModal([](QWidget* w) {
        Click(w, "loadButton");
        Click(w, "closeButton");
    });
    TriggerAction(Frame().Action(Id(EDoc::Load)));
    EXPECT_EQ(Doc().image.ReadByte(0x101), 0xAD);
    WhenModal([](QWidget* w) {
        Click(w, "storeButton");
        Click(w, "closeButton");
    });
    TriggerAction(Frame().Action(Id(EDoc::Store)));
    EXPECT_TRUE(fs::exists(records));
    EXPECT_EQ(Doc().storeFileName, records);
    EXPECT_FALSE(Doc().IsModified());

    // Saved and opened again, the project holds both names whole.
    const std::string project = dir.File("long.tvl");
    chooser.answers.push_back(project);
    ASSERT_TRUE(Frame().Files().SaveFileAs());
    Start();
    ASSERT_TRUE(app->InitInstance({"tarvel", project}));
    EXPECT_EQ(Doc().loadFileName, program);
    EXPECT_EQ(Doc().storeFileName, records);
    EXPECT_TRUE(box.shown.empty()) << box.shown[0].text;
}

TEST_F(DesktopHabits, NamesThatAreNotUtf8StayTheBytesTheSystemGave)
{
    const std::string project = Project("caf\xe9-\xff.tvl");
    ASSERT_TRUE(fs::exists(project));
    Start();
    ASSERT_TRUE(app->InitInstance({"tarvel", project}));
    EXPECT_EQ(Doc().GetPathName(), project);
    EXPECT_TRUE(Title().startsWith("caf")) << Title().toStdString();

    // Through the recent-file list in the settings and back at the next start.
    Start();
    ASSERT_TRUE(app->InitInstance({"tarvel"}));
    EXPECT_EQ(Doc().GetPathName(), project);

    // A program file name of that kind survives the Load dialog untouched.
    const std::string program = dir.File("prog\xe9.hex");
    Doc().loadFileName = program;
    Doc().SetModifiedFlag(false);
    WhenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    TriggerAction(Frame().Action(Id(EDoc::Load)));
    EXPECT_EQ(Doc().loadFileName, program);
    EXPECT_FALSE(Doc().IsModified());
}

TEST_F(DesktopHabits, SaveKeepsAReadOnlyProjectAndGoesToSaveAs)
{
    const std::string project = Project("locked.tvl");
    ASSERT_TRUE(Frame().Files().OpenPath(project));
    const std::string before = ReadFileBytes(project);
    fs::permissions(project, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Doc().comment = "edited";
    Doc().SetModifiedFlag();

    // Cancelled Save As: nothing written, the project still changed.
    EXPECT_FALSE(Frame().Files().SaveFile());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "locked.tvl is read-only.\nSave the setup under a new name.");
    EXPECT_EQ(box.shown[0].caption, "");
    EXPECT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(ReadFileBytes(project), before);
    EXPECT_TRUE(Doc().IsModified());

    const std::string copy = dir.File("copy.tvl");
    chooser.answers.push_back(copy);
    EXPECT_TRUE(Frame().Files().SaveFile());
    EXPECT_EQ(ReadFileBytes(project), before);
    EXPECT_EQ(Doc().GetPathName(), copy);
    EXPECT_EQ(CommentIn(copy), "edited");
}

TEST_F(DesktopHabits, SaveAsksBeforeReplacingAProjectAnotherProgramChanged)
{
    const std::string project = Project("shared.tvl");
    ASSERT_TRUE(Frame().Files().OpenPath(project));
    SaveElsewhere(project, "from tarvel-cli");
    Doc().comment = "from the window";
    Doc().SetModifiedFlag();

    box.Answer(EMsgResult::No);
    EXPECT_FALSE(Frame().Files().SaveFile());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "shared.tvl has been changed by another program since it was opened here.\n"
                                 "Replace it with this setup?");
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNo);
    EXPECT_EQ(CommentIn(project), "from tarvel-cli");
    EXPECT_TRUE(Doc().IsModified());

    box.Answer(EMsgResult::Yes);
    EXPECT_TRUE(Frame().Files().SaveFile());
    EXPECT_EQ(CommentIn(project), "from the window");

    // Our own save is not someone else's change.
    Doc().comment = "again";
    EXPECT_TRUE(Frame().Files().SaveFile());
    EXPECT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(CommentIn(project), "again");
}

TEST_F(DesktopHabits, ADroppedProjectOpensAndADroppedProgramFileLoads)
{
    const std::string project = Project("dropped.tvl");
    Drop({QUrl(QStringLiteral("https://example.org/x.tvl"))}, false);
    Drop({QUrl::fromLocalFile(QString::fromStdString(project))});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Doc().GetPathName() == project; }, 5000));

    // Without a device there is nothing to load into: said plainly.
    Doc().memoryType = "NONE";
    Frame().UpdateCommands();
    Drop({QUrl::fromLocalFile(QString::fromStdString(SampleHex()))});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box.shown.empty(); }, 5000));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "Loading a program file needs a flash device.\nChoose one with Setup > Target Memory first.");

    // With one, the Load dialog loads the file and closes itself.
    UseDevice();
    Drop({QUrl::fromLocalFile(QString::fromStdString(SampleHex()))});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Doc().image.ReadByte(0x101) == 0xAD; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 5000));
    EXPECT_EQ(Doc().loadFileName, SampleHex());
    EXPECT_EQ(box.shown.size(), 1u);
}

TEST_F(DesktopHabits, TheTitleMarksUnsavedChangesAndOpenOffersAllFiles)
{
    Doc().SetModifiedFlag();
    Frame().UpdateCommands();
    EXPECT_EQ(Title(), "Untitled* - Tarvel");
    Doc().SetModifiedFlag(false);
    Frame().UpdateCommands();
    EXPECT_EQ(Title(), "Untitled - Tarvel");

    EXPECT_FALSE(Frame().Files().OpenFile());
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0], "open|Tarvel Files (*.tvl) | *.tvl| All Files (*.*) | *.*|||");
    EXPECT_EQ(CFileChooser::QtFilter(CFileCommands::kProjectFilter), "Tarvel Files (*.tvl);;All Files (*)");
}

// Presses F1 in the active dialog `w`: the manual's heading shown, or empty.
QString HelpHeadingIn(QWidget* w)
{
    // F1 is a shortcut: it reaches the active window only.
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_F1);
    QString heading;
    if (auto* help = w->findChild<CHelpWindow*>()) {
        if (help->isVisible())
            heading = help->CurrentHeading();
        help->close();
        delete help;
    }
    return heading;
}

TEST_F(DesktopHabits, F1InEveryDialogOpensTheManualAtItsSection)
{
    UseDevice();
    for (EDoc command : {EDoc::Load, EDoc::Store, EDoc::Edit, EDoc::Fill, EDoc::Checksum, EDoc::Dump, EDoc::Erase,
                         EDoc::Program, EDoc::Verify, EDoc::Communication, EDoc::Firmware, EDoc::TargetMemory,
                         EDoc::PrintComment, EDoc::MainList, EDoc::PostEraseList}) {
        QString caption, heading;
        WhenModal([&](QWidget* w) {
            caption = w->windowTitle();
            heading = HelpHeadingIn(w);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        TriggerAction(Frame().Action(Id(command)));
        const bool list = command == EDoc::MainList || command == EDoc::PostEraseList;
        EXPECT_FALSE(heading.isEmpty()) << caption.toStdString();
        // The five init lists share one section; every other dialog's is its caption.
        EXPECT_EQ(heading, list ? QString("Target Init List") : caption);
    }

    // The dialog an init list opens for one entry.
    QString heading;
    WhenModal([&](QWidget* list) {
        WhenModal([&](QWidget* line) {
            heading = HelpHeadingIn(line);
            QTest::keyClick(line, Qt::Key_Escape);
        });
        Click(list, "newButton");
        QTest::keyClick(list, Qt::Key_Escape);
    });
    TriggerAction(Frame().Action(Id(EDoc::MainList)));
    EXPECT_EQ(heading, "Edit Init Line");
}

TEST(DesktopCaptions, QtAddsNothingToTheCaptionsOfBoxesAndWindows)
{
    CQpgApp::NameApplication();
    EXPECT_EQ(QCoreApplication::applicationName(), "Tarvel for ARM (QDX7000)");
    EXPECT_EQ(QCoreApplication::organizationName(), "Quellor");
    // Qt appends a display name to every caption only when one was set; when
    // none was, it answers the application name.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

// A box with a short text is still wide enough for its caption, which the
// window frame would otherwise cut ("Inv... put").
TEST(DesktopCaptions, ABoxIsAsWideAsItsCaptionNeeds)
{
    for (const char* caption : {"Invalid Input", "Tarvel for ARM (QDX7000)"}) {
        int width = 0;
        WhenModal([&](QWidget* window) {
            width = window->width();
            QTest::keyClick(window, Qt::Key_Escape);
        });
        CQtMessageBox box;
        box.Show("Code size is 0 !", caption, EMsgIcon::Exclamation, EMsgButtons::Ok);
        QFont bold = QApplication::font();
        bold.setBold(true);
        EXPECT_GT(width, QFontMetrics(bold).horizontalAdvance(QString::fromLatin1(caption)) + 96) << caption;
    }
}

// A failure box with details (the verify diagnosis) opens on the screen and
// shows every detail line once they are unfolded, up to the last one.
TEST(DesktopCaptions, ABoxShowsAllOfItsDetailsOnScreen)
{
    std::string details = "Verifying flash at 0x80001000 + 0x1000 found 4096 bytes that differ.\n";
    for (int i = 0; i < 6; ++i)
        details += "  0x" + std::to_string(80001000 + i) + "  image 0x12  target 0xFF  (bits not programmed)\n";
    details += "Sector affected: 0x80000000 - 0x80003FFF (bank 0, sector 1)";
    QRect screen;
    QRect shown;
    int hiddenPixels = -1;
    WhenModal([&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click();
        QTest::qWait(50);
        screen = box->screen()->availableGeometry();
        shown = box->frameGeometry();
        if (auto* area = box->findChild<QTextEdit*>()) {
            QTextDocument* document = area->document();
            const QRectF last = document->documentLayout()->blockBoundingRect(document->lastBlock());
            // How much of the last line lies below the visible part of the area.
            hiddenPixels = static_cast<int>(last.bottom()) - area->verticalScrollBar()->value() -
                           area->viewport()->height();
        }
        QTest::keyClick(window, Qt::Key_Escape);
    });
    CQtMessageBox box;
    box.ShowDetailed("Verifying error!", "Error", EMsgIcon::Stop, EMsgButtons::Ok, details);
    EXPECT_TRUE(screen.contains(shown)) << "box " << shown.x() << "," << shown.y() << " " << shown.width() << "x"
                                        << shown.height() << " on " << screen.width() << "x" << screen.height();
    EXPECT_LE(hiddenPixels, 0) << "the last detail line is cut";
}

TEST(DesktopCommandLine, OptionsFileAndErrors)
{
    using E = CCommandLine::EAction;
    struct Case {
        std::vector<std::string> args;
        E action;
        std::string file, screenshots, error;
    };
    const Case cases[] = {
        {{}, E::Run, "", "", ""},
        {{"p.tvl"}, E::Run, "p.tvl", "", ""},
        {{"--screenshots", "out", "p\xe9.tvl"}, E::Run, "p\xe9.tvl", "out", ""},
        {{"--", "-odd.tvl"}, E::Run, "-odd.tvl", "", ""},
        {{"p.tvl", "--help"}, E::Help, "", "", ""},
        {{"-h"}, E::Help, "", "", ""},
        {{"--version"}, E::Version, "", "", ""},
        {{"--screenshots"}, E::Error, "", "", "--screenshots needs a folder"},
        {{"--frobnicate"}, E::Error, "", "", "unknown option --frobnicate"},
        {{"a.tvl", "b.tvl"}, E::Error, "", "", "one project file at most (a.tvl, b.tvl)"},
    };
    for (const Case& c : cases) {
        const CCommandLine line(c.args);
        EXPECT_EQ(line.Action(), c.action) << (c.args.empty() ? "" : c.args[0]);
        if (c.action == E::Run) {
            EXPECT_EQ(line.File(), c.file);
            EXPECT_EQ(line.Screenshots(), c.screenshots);
        }
        EXPECT_EQ(line.Error(), c.error);
    }
    EXPECT_EQ(CCommandLine::Early({"-platform", "xcb", "--version"}), E::Version);
    EXPECT_EQ(CCommandLine::Early({"--", "--help"}), E::Run);
    EXPECT_EQ(CCommandLine::Early({"--frobnicate", "p.tvl"}), E::Error);
    EXPECT_EQ(CCommandLine::Early({"-platform", "offscreen", "--style=fusion", "p.tvl"}), E::Run);
}

TEST(DesktopCommandLine, HelpVersionAndAWrongOptionAnswerWithoutADisplay)
{
    struct Case {
        const char* option;
        int exitCode;
        const char* starts; // of stdout, or of stderr when the exit code is not 0
    };
    for (const Case& c : {Case{"--help", 0, "Usage: tarvel [OPTION]... [FILE.tvl]\n"}, Case{"--version", 0, "tarvel "},
                          Case{"--frobnicate", 2, "tarvel: unknown option --frobnicate\nTry 'tarvel --help'.\n"}}) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TARVEL_GUI_PROGRAM), {QString::fromLatin1(c.option)});
        ASSERT_TRUE(program.waitForFinished(20000)) << c.option;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.exitCode) << c.option;
        const QByteArray text = c.exitCode == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
        EXPECT_TRUE(text.startsWith(c.starts)) << c.option << ": " << text.toStdString();
    }
    EXPECT_NE(CCommandLine::VersionText().find("Version 1.13 (QDX7000)"), std::string::npos);
}

} // namespace
