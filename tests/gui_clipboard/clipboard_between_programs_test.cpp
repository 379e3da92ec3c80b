// Init list entries copied in one running program and pasted in another.
// The offscreen platform's clipboard stays inside its process, so this test
// runs on a real X display (CTest starts it under xvfb-run with the xcb
// platform). The test program starts a second copy of itself as the copying
// side, which copies from its editor and keeps the clipboard until told to
// quit; this process pastes into its own editor.
#include "commands/init_list_command.h"
#include "gui/dialogs/init_list_dialog.h"
#include "gui/widgets/init_list_clipboard.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char* kCopySide = "--copy-side";

void FillList(CQpgDoc& doc)
{
    CCodeList& list = doc.InitList(CQpgDoc::MainList);
    list.Add(CCodeItem(CCodeItem::Wm32, 0xFFE00000, 0x12345678, "bus control"));
    list.Add(CCodeItem(CCodeItem::Delay, 0, 250, "settle"));
    list.Add(CCodeItem(CCodeItem::Wgpr, 13, 0x40001000, "stack"));
}

// The copying program: selects lines 0 and 2 of its list, clicks Copy,
// says "copied" and keeps the clipboard until its standard input closes.
int RunCopySide()
{
    CQpgDoc doc(false);
    FillList(doc);
    CScriptedMessageBox box;
    CInitListCommand command(doc, CQpgDoc::MainList);
    CInitListDialog dialog(command, SDialogServices{&box, nullptr});
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 2;
    auto* list = dialog.findChild<QTreeWidget*>("initList");
    for (int row : {0, 2})
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(dialog.findChild<QPushButton*>("copyButton"), Qt::LeftButton);
    // The X selection is ours once the server has answered.
    if (!QTest::qWaitFor([] { return QGuiApplication::clipboard()->ownsClipboard(); }, 5000))
        return 3;
    std::printf("copied\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });
    QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(4); });
    return QCoreApplication::exec();
}

TEST(ClipboardBetweenPrograms, EntriesCopiedInOneProgramArePastedInAnother)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X display (run under xvfb-run)";
    QProcess copier;
    copier.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    copier.start(QCoreApplication::applicationFilePath(), {kCopySide});
    ASSERT_TRUE(copier.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return copier.canReadLine() || copier.state() == QProcess::NotRunning; },
                                20000));
    ASSERT_EQ(copier.readLine().trimmed().toStdString(), "copied") << "exit code " << copier.exitCode();

    CQpgDoc doc(false);
    doc.InitList(CQpgDoc::MainList).Add(CCodeItem(CCodeItem::Nop, 0, 0, "already here"));
    CScriptedMessageBox box;
    CInitListCommand command(doc, CQpgDoc::MainList);
    CInitListDialog dialog(command, SDialogServices{&box, nullptr});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* paste = dialog.findChild<QPushButton*>("pasteButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return paste->isEnabled(); }, 5000));
    // A text editor would take the same lines as plain text.
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "WM32\t0xFFE00000\t0x12345678\tbus control\r\nWGPR\t13\t0x40001000\tstack\r\n");
    QTest::mouseClick(paste, Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    command.StoreBack();

    std::string pasted;
    const CCodeList& list = doc.InitList(CQpgDoc::MainList);
    ASSERT_EQ(list.GetCount(), 3u);
    for (size_t i = 0; i < list.GetCount(); ++i) {
        std::string line;
        list.GetItemDisplayLine(i, line);
        pasted += line + "\n";
    }
    EXPECT_EQ(pasted, "NOP\t\t\talready here\n"
                      "WM32\t0xFFE00000\t0x12345678\tbus control\n"
                      "WGPR\t13\t0x40001000\tstack\n");
    EXPECT_TRUE(box.shown.empty());

    copier.closeWriteChannel();
    ASSERT_TRUE(copier.waitForFinished(10000));
    EXPECT_EQ(copier.exitCode(), 0);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc > 1 && std::string(argv[1]) == kCopySide)
        return RunCopySide();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
