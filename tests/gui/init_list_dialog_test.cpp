// The init list editor and the Edit Init Line dialog driven as a person does:
// selecting lines, clicking the buttons, filling the entry dialog, and
// reading what reaches the list box, the clipboard and the project.
#include "commands/init_list_command.h"
#include "gui/dialogs/init_list_dialog.h"
#include "gui/gui_test_support.h"
#include "gui/widgets/init_list_clipboard.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

std::string Wm32(uint32_t address, uint32_t value, const std::string& comment)
{
    char line[64];
    std::snprintf(line, sizeof line, "WM32\t0x%08X\t0x%08X\t", address, value);
    return line + comment;
}

class InitListDialog : public ::testing::Test {
protected:
    void SetUp() override { QGuiApplication::clipboard()->clear(); }

    void Fill(int count)
    {
        CCodeList& list = doc.InitList(CQpgDoc::MainList);
        for (int i = 0; i < count; ++i)
            list.Add(CCodeItem(Wm32(0xFFE00000 + 4 * i, i, "line " + std::to_string(i))));
        doc.SetModifiedFlag(false);
    }

    std::unique_ptr<CInitListDialog> Open()
    {
        command = std::make_unique<CInitListCommand>(doc, CQpgDoc::MainList);
        auto dialog = std::make_unique<CInitListDialog>(*command, SDialogServices{&box, nullptr});
        ShowForTest(dialog.get());
        return dialog;
    }

    static QTreeWidget* List(QWidget* dialog) { return Child<QTreeWidget>(dialog, "initList"); }

    // The lines of the list box as display lines.
    static std::vector<std::string> Lines(QWidget* dialog)
    {
        std::vector<std::string> lines;
        QTreeWidget* list = List(dialog);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QStringList columns;
            for (int c = 0; c < 4; ++c)
                columns << list->topLevelItem(row)->text(c);
            lines.push_back(columns.join('\t').toStdString());
        }
        return lines;
    }

    // Selects rows as Ctrl+clicks do (a fresh selection first).
    static void Select(QWidget* dialog, const std::vector<int>& rows)
    {
        QTreeWidget* list = List(dialog);
        list->clearSelection();
        QItemSelection selection;
        for (int row : rows) {
            const QModelIndex index = list->model()->index(row, 0);
            selection.select(index, index);
        }
        list->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    static std::string Enabled(QWidget* dialog)
    {
        std::string states;
        for (const char* name : {"newButton", "copyButton", "pasteButton", "editButton", "deleteButton"})
            states += Child<QPushButton>(dialog, name)->isEnabled() ? '1' : '0';
        return states;
    }

    static std::string ClipboardBytes()
    {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data ? data->data(CInitListClipboard::kMimeType).toStdString() : std::string();
    }

    static void PutEntries(const std::string& bytes)
    {
        auto* data = new QMimeData;
        data->setData(CInitListClipboard::kMimeType, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        QGuiApplication::clipboard()->setMimeData(data);
    }

    CQpgDoc doc{false};
    CScriptedMessageBox box;
    std::unique_ptr<CInitListCommand> command;
};

// ---- The list dialog ------------------------------------------------------------

TEST_F(InitListDialog, OpensWithTheListsLinesUnderItsNameAndColumns)
{
    Fill(3);
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Main Initlist");
    QTreeWidget* list = List(dialog.get());
    EXPECT_EQ(list->headerItem()->text(0), "Type");
    EXPECT_EQ(list->headerItem()->text(3), "Comment");
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    ASSERT_EQ(Lines(dialog.get()).size(), 3u);
    EXPECT_EQ(Lines(dialog.get())[1], "WM32\t0xFFE00004\t0x00000001\tline 1");
}

TEST_F(InitListDialog, ButtonsFollowTheSelectionAndTheClipboard)
{
    Fill(3);
    auto dialog = Open();
    // New, Copy, Paste, Edit, Delete.
    EXPECT_EQ(Enabled(dialog.get()), "10000");
    QTreeWidget* list = List(dialog.get());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(0)).center());
    EXPECT_EQ(Enabled(dialog.get()), "11011");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->topLevelItem(2)).center());
    EXPECT_EQ(Enabled(dialog.get()), "01001");

    PutEntries(Wm32(0, 0, "x") + "\r\n" + std::string(1, '\0'));
    EXPECT_EQ(Enabled(dialog.get()), "01001"); // two selected: no Paste
    Select(dialog.get(), {1});
    EXPECT_EQ(Enabled(dialog.get()), "11111");
    Select(dialog.get(), {});
    EXPECT_EQ(Enabled(dialog.get()), "10100");
}

TEST_F(InitListDialog, CopiesAtMost256SelectedLines)
{
    Fill(300);
    auto dialog = Open();
    std::vector<int> rows(257);
    for (int i = 0; i < 257; ++i)
        rows[i] = i + 10;
    Select(dialog.get(), rows);
    Click(dialog.get(), "copyButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "To match items selected (max 256 allowed)");
    EXPECT_EQ(box.shown[0].caption, "Initlist");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Stop);
    EXPECT_EQ(ClipboardBytes(), "");

    rows.pop_back();
    Select(dialog.get(), rows);
    Click(dialog.get(), "copyButton");
    std::string expected;
    for (int row : rows)
        expected += Lines(dialog.get())[row] + "\r\n";
    expected.push_back('\0');
    EXPECT_EQ(ClipboardBytes(), expected);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), expected.substr(0, expected.size() - 1));
    EXPECT_TRUE(List(dialog.get())->selectedItems().isEmpty());
    EXPECT_EQ(box.shown.size(), 1u);
}

TEST_F(InitListDialog, PastesBeforeTheSelectedLineOrAtTheEndAndDropsAnUnfinishedLine)
{
    Fill(5);
    auto dialog = Open();
    // Lower case, and a last line without carriage return.
    PutEntries("wm16\t0x10\t0x20\tfirst\r\nnop\t\t\tsecond\r\nWM8\t0x30\t0x40\tlost");
    Select(dialog.get(), {3});
    Click(dialog.get(), "pasteButton");
    std::vector<std::string> lines = Lines(dialog.get());
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "WM16\t0x00000010\t0x0020\tfirst");
    EXPECT_EQ(lines[4], "NOP\t\t\tsecond");
    EXPECT_EQ(lines[5], "WM32\t0xFFE0000C\t0x00000003\tline 3");
    EXPECT_TRUE(List(dialog.get())->selectedItems().isEmpty());

    Click(dialog.get(), "pasteButton"); // nothing selected: appended
    lines = Lines(dialog.get());
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[7], "WM16\t0x00000010\t0x0020\tfirst");
    EXPECT_EQ(lines[8], "NOP\t\t\tsecond");

    // An unknown type is refused, as in plain text: nothing is inserted.
    PutEntries(std::string("FOO\t1\t2\tx\r\n") + '\0');
    Click(dialog.get(), "pasteButton");
    EXPECT_EQ(Lines(dialog.get()).size(), 9u);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_NE(box.shown[0].text.find("unknown action type"), std::string::npos) << box.shown[0].text;
}

TEST_F(InitListDialog, ASingleLineCopiedInATextEditorPastes)
{
    Fill(1);
    auto dialog = Open();
    QGuiApplication::clipboard()->setText("WM32\t0xFFFFFFFF\t0xFFFFFFFF\tno newline");
    Click(dialog.get(), "pasteButton");
    ASSERT_EQ(Lines(dialog.get()).size(), 2u);
    EXPECT_EQ(Lines(dialog.get())[1], "WM32\t0xFFFFFFFF\t0xFFFFFFFF\tno newline");
    // The columns show the whole number.
    QTreeWidget* list = List(dialog.get());
    const QAbstractItemView* view = list; // where the size hint is public
    for (int column : {1, 2})
        EXPECT_GE(list->columnWidth(column), view->sizeHintForColumn(column)) << column;
}

TEST_F(InitListDialog, CtrlCCtrlVAndDeleteInTheListDoWhatTheButtonsDo)
{
    Fill(3);
    auto dialog = Open();
    QTreeWidget* list = List(dialog.get());
    list->setFocus();
    Select(dialog.get(), {0, 1});
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    std::string expected = Lines(dialog.get())[0] + "\r\n" + Lines(dialog.get())[1] + "\r\n";
    EXPECT_EQ(ClipboardBytes(), expected + '\0') << "the entries, not one cell's text";
    EXPECT_TRUE(list->selectedItems().isEmpty());

    Select(dialog.get(), {2});
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    std::vector<std::string> lines = Lines(dialog.get());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], lines[0]);
    EXPECT_EQ(lines[4], "WM32\t0xFFE00008\t0x00000002\tline 2");

    Select(dialog.get(), {4});
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Lines(dialog.get()).size(), 4u);
    EXPECT_EQ(ClipboardBytes(), expected + '\0') << "the clipboard keeps the copied entries";

    // With nothing selected Copy and Delete are greyed: the keys do nothing.
    list->clearSelection();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Lines(dialog.get()).size(), 4u);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(InitListDialog, PastesAnEditorsTextOnlyWhenEveryLineIsAnEntry)
{
    Fill(1);
    auto dialog = Open();
    QGuiApplication::clipboard()->setText("WM32\t0x100\t7\tfrom an editor\n\nDELAY\t\t50\twait\n");
    Click(dialog.get(), "pasteButton");
    std::vector<std::string> lines = Lines(dialog.get());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "WM32\t0x00000100\t0x00000007\tfrom an editor");
    EXPECT_EQ(lines[2], "DELAY\t\t50\twait");

    QGuiApplication::clipboard()->setText("WM32\t0x100\t7\tok\nDear diary,\n");
    Click(dialog.get(), "pasteButton");
    EXPECT_EQ(Lines(dialog.get()).size(), 3u);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_NE(box.shown[0].text.find("line 2"), std::string::npos) << box.shown[0].text;
}

TEST_F(InitListDialog, DeletesOneLineAtOnceAndSeveralAfterTheQuestion)
{
    Fill(5);
    auto dialog = Open();
    Select(dialog.get(), {0});
    Click(dialog.get(), "deleteButton");
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(Lines(dialog.get()).size(), 4u);
    EXPECT_EQ(Lines(dialog.get())[0], "WM32\t0xFFE00004\t0x00000001\tline 1");

    Select(dialog.get(), {1, 3});
    box.Answer(EMsgResult::No);
    Click(dialog.get(), "deleteButton");
    EXPECT_EQ(Lines(dialog.get()).size(), 4u);
    box.Answer(EMsgResult::Yes);
    Click(dialog.get(), "deleteButton");
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[1].text, "Do you really want delete the selected items ?");
    EXPECT_EQ(box.shown[1].buttons, EMsgButtons::YesNo);
    const std::vector<std::string> lines = Lines(dialog.get());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "WM32\t0xFFE00004\t0x00000001\tline 1");
    EXPECT_EQ(lines[1], "WM32\t0xFFE0000C\t0x00000003\tline 3");
}

TEST_F(InitListDialog, CancelAfterManyOperationsLeavesTheListOkStoresIt)
{
    Fill(4);
    const CCodeList before = doc.InitList(CQpgDoc::MainList);
    {
        auto dialog = Open();
        Select(dialog.get(), {0, 1});
        Click(dialog.get(), "copyButton");
        Click(dialog.get(), "pasteButton");
        Select(dialog.get(), {2});
        Click(dialog.get(), "deleteButton");
        Click(dialog.get(), "cancelButton");
        command->StoreBack();
        EXPECT_TRUE(doc.InitList(CQpgDoc::MainList) == before);
        EXPECT_FALSE(doc.IsModified());
    }
    auto dialog = Open();
    Select(dialog.get(), {2});
    Click(dialog.get(), "deleteButton");
    Click(dialog.get(), "okButton");
    command->StoreBack();
    EXPECT_EQ(doc.InitList(CQpgDoc::MainList).GetCount(), 3u);
    EXPECT_TRUE(doc.IsModified());
}

// ---- The Edit Init Line dialog ----------------------------------------------------

// Picks an action type from the drop-down list.
void ChooseType(QWidget* window, int code)
{
    Child<QComboBox>(window, "actionTypeCombo")->setCurrentIndex(code);
}

// Steps to an action type with the keyboard: Home, then down to the code,
// passing every type before it.
void StepToType(QWidget* window, int code)
{
    auto* type = Child<QComboBox>(window, "actionTypeCombo");
    type->setFocus();
    QTest::keyClick(type, Qt::Key_Home);
    for (int i = 0; i < code; ++i)
        QTest::keyClick(type, Qt::Key_Down);
}

TEST_F(InitListDialog, NewDelayStoresItsTimeModulo30000)
{
    const struct {
        const char* typed;
        const char* line;
    } cases[] = {{"100", "DELAY\t\t100\tComment"}, {"30000", "DELAY\t\t0\tComment"}, {"45000", "DELAY\t\t15000\tComment"}};
    for (const auto& c : cases) {
        doc.InitList(CQpgDoc::MainList).DeleteAll();
        auto dialog = Open();
        WhenModal([&](QWidget* window) {
            EXPECT_EQ(window->windowTitle(), "Edit Init Line");
            StepToType(window, CCodeItem::Delay);
            EXPECT_FALSE(Child<QWidget>(window, "addressEdit")->isEnabled());
            EXPECT_TRUE(Child<QWidget>(window, "msEdit")->isEnabled());
            EXPECT_EQ(Text(window, "valueLabel"), "Delay");
            EXPECT_EQ(Text(window, "addressLabel"), "<not used>");
            Type(window, "msEdit", c.typed);
            Click(window, "okButton");
        });
        Click(dialog.get(), "newButton");
        ASSERT_EQ(Lines(dialog.get()).size(), 1u);
        EXPECT_EQ(Lines(dialog.get())[0], c.line);
    }
}

TEST_F(InitListDialog, EditsAWgprEntryByDoubleClickWithItsRegisterNumber)
{
    doc.InitList(CQpgDoc::MainList).Add(CCodeItem(CCodeItem::Wgpr, 2, 0x1234, "sp"));
    auto dialog = Open();
    WhenModal([&](QWidget* window) {
        EXPECT_EQ(Text(window, "addressLabel"), "Register");
        EXPECT_EQ(Text(window, "registerEdit"), "2");
        EXPECT_TRUE(Child<QWidget>(window, "registerEdit")->isEnabled());
        EXPECT_FALSE(Child<QWidget>(window, "addressEdit")->isEnabled());
        Type(window, "registerEdit", "13");
        Click(window, "okButton");
    });
    QTreeWidget* list = List(dialog.get());
    const QPoint at = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(Lines(dialog.get())[0], "WGPR\t13\t0x00001234\tsp");
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
}

TEST_F(InitListDialog, ChangingTheTypeMasksTheShownNumbersAndSwapsTheLabels)
{
    doc.InitList(CQpgDoc::MainList).Add(CCodeItem(CCodeItem::Wm32, 0x40001234, 0x12345678, "x"));
    auto dialog = Open();
    Select(dialog.get(), {0});
    WhenModal([&](QWidget* window) {
        EXPECT_EQ(Text(window, "valueEdit"), "12345678");
        ChooseType(window, CCodeItem::Wm8);
        EXPECT_EQ(Text(window, "valueEdit"), "78");
        StepToType(window, CCodeItem::Wcp15); // through WGPR: the address survives
        EXPECT_EQ(Text(window, "addressEdit"), "1234");
        EXPECT_EQ(Text(window, "valueEdit"), "12345678") << "the value as entered, not the 78 WM8 showed";
        ChooseType(window, CCodeItem::Exec);
        EXPECT_EQ(Text(window, "addressLabel"), "Start Address");
        EXPECT_EQ(Text(window, "valueLabel"), "Run Time");
        EXPECT_EQ(Text(window, "addressEdit"), "40001234");
        EXPECT_FALSE(Child<QWidget>(window, "valueEdit")->isEnabled());
        EXPECT_TRUE(Child<QWidget>(window, "msEdit")->isEnabled());
        EXPECT_EQ(Text(window, "msEdit"), "305419896");
        // Stepping back through NOP and DELAY carries the value along; OK
        // masks to what WM8 shows.
        StepToType(window, CCodeItem::Wm8);
        Click(window, "okButton");
    });
    Click(dialog.get(), "editButton");
    EXPECT_EQ(Lines(dialog.get())[0], "WM8\t0x40001234\t0x78\tx");
}

TEST_F(InitListDialog, SteppingTheTypeWithArrowsAndWheelKeepsTheNumbersAsEntered)
{
    // WM32 at FFFFF124 / DEADBEEF stepped down to RM32 passes WCP15 (4 address
    // digits) and the decimal and unused fields of the types between.
    for (const bool wheel : {false, true}) {
        doc.InitList(CQpgDoc::MainList).DeleteAll();
        doc.InitList(CQpgDoc::MainList).Add(CCodeItem(CCodeItem::Wm32, 0xFFFFF124, 0xDEADBEEF, "x"));
        auto dialog = Open();
        Select(dialog.get(), {0});
        WhenModal([&](QWidget* window) {
            auto* type = Child<QComboBox>(window, "actionTypeCombo");
            type->setFocus();
            while (type->currentIndex() < CCodeItem::Rm32) {
                const int before = type->currentIndex();
                if (wheel) {
                    const QPointF at = QRectF(type->rect()).center();
                    QWheelEvent step(at, type->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                                     Qt::NoModifier, Qt::NoScrollPhase, false);
                    QCoreApplication::sendEvent(type, &step);
                } else {
                    QTest::keyClick(type, Qt::Key_Down);
                }
                ASSERT_EQ(type->currentIndex(), before + 1) << (wheel ? "wheel" : "arrow");
            }
            EXPECT_EQ(Text(window, "addressEdit"), "FFFFF124");
            EXPECT_EQ(Text(window, "valueEdit"), "DEADBEEF");
            Click(window, "okButton");
        });
        Click(dialog.get(), "editButton");
        EXPECT_EQ(Lines(dialog.get())[0], "RM32\t0xFFFFF124\t\tx") << (wheel ? "wheel" : "arrow");
        dialog->accept();
        int code = 0;
        uint32_t address = 0, value = 0;
        ASSERT_TRUE(doc.InitList(CQpgDoc::MainList).GetItemFields(0, code, address, value));
        EXPECT_EQ(address, 0xFFFFF124u);
    }
}

TEST_F(InitListDialog, AnUnreadableNumberKeepsTheEntryDialogOpenAndCancelChangesNothing)
{
    doc.InitList(CQpgDoc::MainList).Add(CCodeItem(CCodeItem::Delay, 0, 10, "d"));
    auto dialog = Open();
    Select(dialog.get(), {0});
    WhenModal([&](QWidget* window) {
        Type(window, "msEdit", "");
        Click(window, "okButton");
        EXPECT_TRUE(window->isVisible());
        Click(window, "cancelButton");
    });
    Click(dialog.get(), "editButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Please enter a positive integer.");
    EXPECT_EQ(Lines(dialog.get())[0], "DELAY\t\t10\td");
}

} // namespace
