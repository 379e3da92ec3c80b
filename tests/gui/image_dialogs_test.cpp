// The memory image dialogs driven as a person does: typing, clicking, and
// reading the status line, the boxes shown and what reaches image and project.
#include "commands/checksum_command.h"
#include "commands/edit_image_command.h"
#include "commands/fill_command.h"
#include "commands/load_command.h"
#include "commands/store_command.h"
#include "gui/widgets/hex_edit.h"
#include "gui/dialogs/checksum_dialog.h"
#include "gui/dialogs/edit_image_dialog.h"
#include "gui/dialogs/fill_dialog.h"
#include "gui/dialogs/load_dialog.h"
#include "gui/dialogs/store_dialog.h"
#include "gui/gui_test_support.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

constexpr const char* kDevice = "AMD  Am29LV160MB (1M x 16)";

class ImageDialogs : public ::testing::Test {
protected:
    ImageDialogs()
    {
        doc.memoryType = kDevice;
        doc.physicalRange = CMemoryRange(0, 0x10000, 1);
    }

    std::vector<uint8_t> Bytes(uint32_t address, uint32_t count)
    {
        std::vector<uint8_t> bytes(count);
        doc.image.ReadBlock(address, bytes.data(), count);
        return bytes;
    }
    void Put(uint32_t address, std::vector<uint8_t> bytes)
    {
        ASSERT_EQ(doc.image.WriteBlock(address, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    }

    CQpgDoc doc;
    CScriptedMessageBox box;
    CScriptedFileChooser chooser;
    CTempDir dir;
};

std::string SampleHex()
{
    return std::string(TARVEL_TEST_DATA_DIR) + "/files/sample.hex";
}

// ---- The hexadecimal field --------------------------------------------------------

TEST(HexEdit, LetsOnlyHexDigitsThroughUpperCaseAndUpToItsDigitCount)
{
    struct Case {
        int digits;
        const char* typed;
        const char* shown;
        uint32_t value;
    };
    const Case cases[] = {
        {8, "12ab", "12AB", 0x12AB},
        {8, "1x2y3z", "123", 0x123},
        {8, "123456789", "12345678", 0x12345678},
        {2, "fff", "FF", 0xFF},
        {4, "-1", "-1", 0xFFFF},
        {8, "", "", 0},
    };
    for (const Case& c : cases) {
        CHexField field(c.digits);
        CHexEdit edit;
        edit.setObjectName("hex");
        edit.Bind(&field);
        edit.setFocus();
        QTest::keyClicks(&edit, QString::fromLatin1(c.typed));
        edit.Store();
        EXPECT_EQ(edit.text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(field.Value(), c.value) << c.typed;
    }
}

TEST(FileChooser, FilterPairsBecomeQtFilters)
{
    EXPECT_EQ(CFileChooser::QtFilter("S-Record (*.sss) | *.sss| Binary (*.bin) | *.bin| all (*.*) | *.*||"),
              "S-Record (*.sss);;Binary (*.bin);;all (*)");
    EXPECT_EQ(CFileChooser::QtFilter(CStoreModel::kFileFilter), "S-Record (*.sss)");
    EXPECT_EQ(CFileChooser::QtFilter("Tarvel Files (*.tvl) | *.tvl||"), "Tarvel Files (*.tvl)");
}

// ---- Load -----------------------------------------------------------------------

TEST_F(ImageDialogs, LoadFindsTheFormatAndReportsTheByteCount)
{
    const std::string binary = dir.File("program.bin");
    std::string bytes(3000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    WriteFileBytes(binary, bytes);

    struct Case {
        std::string file;
        const char* offset;
        const char* status;
        uint32_t at;
        std::vector<uint8_t> expect;
    };
    const Case cases[] = {
        {SampleHex(), "0", "Loading of 48 bytes successful terminated ! (Intel HEX file)", 0x100, {0xDE, 0xAD, 0xBE, 0xEF}},
        {binary, "1000", "Loading of 3000 bytes successful terminated ! (binary file)", 0x1000 + 2999,
         {static_cast<uint8_t>(2999 * 7)}},
    };
    for (const Case& c : cases) {
        CLoadCommand command(doc);
        CLoadDialog dialog(command, {&box, &chooser});
        ShowForTest(&dialog);
        Type(&dialog, "fileNameEdit", QString::fromStdString(c.file));
        Type(&dialog, "offsetEdit", c.offset);
        Click(&dialog, "loadButton");
        EXPECT_EQ(Text(&dialog, "statusLine").toStdString(), c.status);
        EXPECT_EQ(Bytes(c.at, static_cast<uint32_t>(c.expect.size())), c.expect) << c.file;
        EXPECT_TRUE(dialog.isVisible()) << "only an autoload run closes the dialog";
        EXPECT_EQ(dialog.LastResult(), 0);
    }
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ImageDialogs, LoadReportsAMissingFileAndBytesOutsideTheRange)
{
    {
        CLoadCommand command(doc);
        CLoadDialog dialog(command, {&box, &chooser});
        ShowForTest(&dialog);
        Type(&dialog, "fileNameEdit", QString::fromStdString(dir.File("missing.hex")));
        Click(&dialog, "loadButton");
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, "Can not open file !\nLoading process aborted...\n\n" + dir.File("missing.hex") +
                                         ": No such file or directory");
        EXPECT_EQ(box.shown[0].caption, "Error");
        EXPECT_EQ(box.shown[0].icon, EMsgIcon::Stop);
        EXPECT_EQ(Text(&dialog, "statusLine"), "");
        EXPECT_TRUE(dialog.isVisible());
    }
    doc.physicalRange = CMemoryRange(0, 0x100, 1);
    CLoadCommand command(doc);
    CLoadDialog dialog(command, {&box, &chooser});
    ShowForTest(&dialog);
    Type(&dialog, "fileNameEdit", QString::fromStdString(SampleHex()));
    Click(&dialog, "loadButton");
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[1].text, "Some of 48 loaded bytes are outside of the defined memory range !!\n\n"
                                 "Memory range:\t00000000 - 000000FF Hex\nFile range:\t00000000 - 00000103 Hex\n");
    EXPECT_EQ(box.shown[1].caption, "Warning");
    EXPECT_EQ(box.shown[1].icon, EMsgIcon::Exclamation);
    EXPECT_EQ(Text(&dialog, "statusLine"), "Loading of 48 bytes successful terminated ! (Intel HEX file)");
}

// A plain text file that is no record file: the dialog asks before loading
// its characters as binary data; No leaves the image as it was.
TEST_F(ImageDialogs, LoadAsksBeforeLoadingATextFileAsBinaryData)
{
    const std::string notes = dir.File("notes.txt");
    WriteFileBytes(notes, "firmware 1.2\n");
    CLoadCommand command(doc);
    CLoadDialog dialog(command, {&box, &chooser});
    ShowForTest(&dialog);
    Type(&dialog, "fileNameEdit", QString::fromStdString(notes));
    box.Answer(EMsgResult::No);
    Click(&dialog, "loadButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, notes + " is a text file, but no S-record or Intel HEX file.\n\n"
                                         "Load its characters into the memory image as binary data?");
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNoDefaultNo);
    EXPECT_EQ(Text(&dialog, "statusLine").toStdString(),
              "Not loaded: the file is text, but no program file. The memory image is unchanged.");
    EXPECT_EQ(doc.image.GetUsedLength(), 0u);

    box.Answer(EMsgResult::Yes);
    Click(&dialog, "loadButton");
    EXPECT_EQ(Text(&dialog, "statusLine").toStdString(), "Loading of 13 bytes successful terminated ! (binary file)");
    EXPECT_EQ(Bytes(0, 8), std::vector<uint8_t>({'f', 'i', 'r', 'm', 'w', 'a', 'r', 'e'}));
}

TEST_F(ImageDialogs, LoadChangeTakesTheChosenFileAndCloseHandsTheValuesBack)
{
    chooser.answers.push_back(SampleHex());
    CLoadCommand command(doc);
    CLoadDialog dialog(command, {&box, &chooser});
    ShowForTest(&dialog);
    Click(&dialog, "changeButton");
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0], std::string("open|") + CLoadModel::kFileFilter + "|");
    EXPECT_EQ(Text(&dialog, "fileNameEdit").toStdString(), SampleHex());
    Type(&dialog, "offsetEdit", "8000");
    Click(&dialog, "autoloadCheck");
    Click(&dialog, "closeButton");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(command.StoreBack());
    EXPECT_EQ(doc.loadFileName, SampleHex());
    EXPECT_EQ(doc.loadOffset, 0x8000u);
    EXPECT_TRUE(doc.autoload);
    EXPECT_TRUE(doc.IsModified());
}

// ---- Store ----------------------------------------------------------------------

TEST_F(ImageDialogs, StoreAsksBeforeReplacingAndNoLeavesTheFileAlone)
{
    std::vector<uint8_t> bytes(32);
    for (uint8_t i = 0; i < 32; ++i)
        bytes[i] = i;
    Put(0, bytes);
    const std::string file = dir.File("out.s19");
    WriteFileBytes(file, "keep");

    CStoreCommand command(doc);
    CStoreDialog dialog(command, {&box, &chooser});
    ShowForTest(&dialog);
    Type(&dialog, "startEdit", "0");
    Type(&dialog, "secondEdit", "20");
    Click(&dialog, "endRadio");
    EXPECT_EQ(Text(&dialog, "secondEdit"), "0000001F") << "the length shown as end address";
    Click(&dialog, "lengthRadio");
    EXPECT_EQ(Text(&dialog, "secondEdit"), "00000020");
    Type(&dialog, "fileNameEdit", QString::fromStdString(file));

    box.Answer(EMsgResult::No);
    Click(&dialog, "storeButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "File already exists!   Do you want replace it?");
    EXPECT_EQ(box.shown[0].caption, "Confirmed");
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNo);
    EXPECT_EQ(ReadFileBytes(file), "keep");
    EXPECT_EQ(Text(&dialog, "statusLine"), "");

    box.Answer(EMsgResult::Yes);
    Click(&dialog, "storeButton");
    const std::string written = ReadFileBytes(file);
    EXPECT_NE(written.find("S1230000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FEC"),
              std::string::npos);
    EXPECT_NE(written.find("S9030000FC"), std::string::npos);
    EXPECT_EQ(Text(&dialog, "statusLine"), "Storing of 32 bytes successful terminated !");

    Click(&dialog, "closeButton");
    EXPECT_TRUE(command.StoreBack());
    EXPECT_EQ(doc.storeRange, CMemoryRange(0, 0x20, 1));
    EXPECT_EQ(doc.storeFileName, file);
}

TEST_F(ImageDialogs, StoreFitsTheRangeToTheImageAndRefusesABadRange)
{
    Put(0x1234, {1, 2, 3});
    CStoreCommand command(doc);
    CStoreDialog dialog(command, {&box, &chooser});
    ShowForTest(&dialog);
    Click(&dialog, "fitButton");
    EXPECT_EQ(Text(&dialog, "startEdit"), "00001234");
    EXPECT_EQ(Text(&dialog, "secondEdit"), "00000003");

    Type(&dialog, "secondEdit", "0");
    Type(&dialog, "fileNameEdit", QString::fromStdString(dir.File("never.s19")));
    Click(&dialog, "storeButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Code size is 0 !");
    EXPECT_EQ(box.shown[0].caption, "Invalid Input");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.s19")));
    EXPECT_TRUE(Child<QLineEdit>(&dialog, "secondEdit")->hasFocus()) << "the focus goes to the offending field";
}

// ---- Fill -----------------------------------------------------------------------

TEST_F(ImageDialogs, FillWritesBytesWordsAndLongsLeastSignificantByteFirst)
{
    struct Case {
        const char* radio;
        const char* pattern;
        std::vector<uint8_t> expect;
    };
    const Case cases[] = {
        {"byteRadio", "5a", {0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A}},
        {"wordRadio", "1234", {0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12}},
        {"longRadio", "AABBCCDD", {0xDD, 0xCC, 0xBB, 0xAA, 0xDD, 0xCC, 0xBB, 0xAA, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        doc.image.Clear();
        CFillCommand command(doc);
        CFillDialog dialog(command, {&box});
        ShowForTest(&dialog);
        Type(&dialog, "startEdit", "100");
        Type(&dialog, "secondEdit", "A");
        Click(&dialog, c.radio);
        Type(&dialog, "patternEdit", c.pattern);
        Click(&dialog, "fillButton");
        EXPECT_EQ(Bytes(0x100, 10), c.expect) << c.radio;
        Click(&dialog, "closeButton");
        command.StoreBack();
        EXPECT_EQ(doc.fillRange, CMemoryRange(0x100, 0xA, 1));
    }
    EXPECT_EQ(doc.fillUnit, 2);
    EXPECT_EQ(doc.fillPattern, 0xAABBCCDDu);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ImageDialogs, FillShowsThePatternMaskedToTheUnitAndRefusesAnInvertedRange)
{
    CFillCommand command(doc);
    CFillDialog dialog(command, {&box});
    ShowForTest(&dialog);
    Click(&dialog, "longRadio");
    Type(&dialog, "patternEdit", "12345678");
    Click(&dialog, "byteRadio");
    EXPECT_EQ(Text(&dialog, "patternEdit"), "78");
    Click(&dialog, "wordRadio");
    EXPECT_EQ(Text(&dialog, "patternEdit"), "0078");

    Click(&dialog, "endRadio");
    Type(&dialog, "startEdit", "100");
    Type(&dialog, "secondEdit", "FF");
    Click(&dialog, "fillButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Start address should not be greater than end address !");
    EXPECT_EQ(box.shown[0].caption, "Invalid Input");
    EXPECT_EQ(doc.image.GetUsedRange(1).GetSize(), 0u) << "nothing was written";
}

// ---- Checksum -------------------------------------------------------------------

TEST_F(ImageDialogs, ChecksumSumsInEachUnitAndStoresOnlyAfterCalculate)
{
    Put(0x100, {0x01, 0x02, 0x03, 0x04});
    struct Case {
        const char* source;
        const char* shown;
    };
    const Case cases[] = {
        {"sourceByteRadio", "0000000A"},
        {"sourceWordRadio", "00000604"},
        {"sourceLongRadio", "04030201"},
    };
    CChecksumCommand command(doc);
    CChecksumDialog dialog(command, {&box});
    ShowForTest(&dialog);
    auto* store = Child<QPushButton>(&dialog, "storeButton");
    EXPECT_FALSE(store->isEnabled());
    Type(&dialog, "startEdit", "100");
    Type(&dialog, "secondEdit", "4");
    Click(&dialog, "destLongRadio");
    for (const Case& c : cases) {
        Click(&dialog, c.source);
        EXPECT_EQ(Text(&dialog, "checksumEdit"), "") << "a new unit drops the old sum";
        EXPECT_FALSE(store->isEnabled());
        Click(&dialog, "calculateButton");
        EXPECT_EQ(Text(&dialog, "checksumEdit"), c.shown) << c.source;
        EXPECT_TRUE(store->isEnabled());
    }
    Click(&dialog, "destByteRadio");
    Click(&dialog, "sourceByteRadio");
    Click(&dialog, "calculateButton");
    EXPECT_EQ(Text(&dialog, "checksumEdit"), "0A");
    Type(&dialog, "destEdit", "200");
    Click(&dialog, "storeButton");
    EXPECT_TRUE(box.shown.empty()) << "a destination outside the source range is not questioned";
    EXPECT_EQ(Bytes(0x200, 1), std::vector<uint8_t>{0x0A});

    Click(&dialog, "closeButton");
    command.StoreBack();
    EXPECT_EQ(doc.checksumRange, CMemoryRange(0x100, 4, 1));
    EXPECT_EQ(doc.checksumDest, 0x200u);
    EXPECT_EQ(doc.checksumType, 0);
    EXPECT_EQ(doc.checksumDestType, 0);
}

TEST_F(ImageDialogs, ChecksumAsksBeforeStoringInsideTheSourceRange)
{
    Put(0x100, {0x01, 0x02, 0x03, 0x04});
    CChecksumCommand command(doc);
    CChecksumDialog dialog(command, {&box});
    ShowForTest(&dialog);
    Click(&dialog, "endRadio");
    Type(&dialog, "startEdit", "100");
    Type(&dialog, "secondEdit", "103");
    Click(&dialog, "sourceByteRadio");
    Click(&dialog, "destByteRadio");
    Type(&dialog, "destEdit", "100");
    Click(&dialog, "calculateButton");

    box.Answer(EMsgResult::No);
    Click(&dialog, "storeButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "The checksum store address is inside the calculated checksum range !\nDo you wish to store it ?");
    EXPECT_EQ(box.shown[0].caption, "Information");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNo);
    EXPECT_EQ(Bytes(0x100, 1), std::vector<uint8_t>{0x01});

    box.Answer(EMsgResult::Yes);
    Click(&dialog, "storeButton");
    EXPECT_EQ(Bytes(0x100, 1), std::vector<uint8_t>{0x0A});
}

// ---- Edit Memory Image ----------------------------------------------------------

TEST_F(ImageDialogs, EditorShowsWordsInTheTargetsByteOrder)
{
    Put(0, {0x12, 0x34});
    doc.editUnit = 1;
    for (const bool bigEndian : {true, false}) {
        doc.targetOptions = bigEndian ? 0x10002u : 0x2u;
        CEditImageCommand command(doc);
        CEditImageDialog dialog(command);
        ShowForTest(&dialog);
        auto* grid = Child<QTableWidget>(&dialog, "dataGrid");
        EXPECT_EQ(grid->columnCount(), 8);
        EXPECT_EQ(grid->item(0, 0)->text(), bigEndian ? " 1234" : " 3412");
        EXPECT_EQ(Text(&dialog, "dataEdit"), bigEndian ? "1234" : "3412");
        Click(&dialog, "longRadio");
        EXPECT_EQ(grid->columnCount(), 4);
        EXPECT_EQ(grid->item(0, 0)->text(), bigEndian ? " 1234FFFF" : " FFFF3412");
    }
}

TEST_F(ImageDialogs, EditorGoesToAnAddressAndStoreMovesToTheNextOne)
{
    CEditImageCommand command(doc);
    CEditImageDialog dialog(command);
    ShowForTest(&dialog);
    auto* addresses = Child<QListWidget>(&dialog, "addressList");
    Type(&dialog, "addressEdit", "1234");
    Click(&dialog, "goToButton");
    EXPECT_EQ(addresses->item(0)->text(), " 00001230");
    EXPECT_EQ(addresses->item(7)->text(), " 000012A0");

    Click(&dialog, "byteRadio");
    Type(&dialog, "addressEdit", "10");
    Click(&dialog, "goToButton");
    Type(&dialog, "dataEdit", "55");
    Click(&dialog, "storeButton");
    EXPECT_EQ(Bytes(0x10, 1), std::vector<uint8_t>{0x55});
    EXPECT_EQ(Text(&dialog, "addressEdit"), "00000011");
    EXPECT_TRUE(Child<QLineEdit>(&dialog, "dataEdit")->hasFocus());

    // Enter in the data field stores too: "&Store" is the default button.
    Type(&dialog, "dataEdit", "66");
    QTest::keyClick(Child<QLineEdit>(&dialog, "dataEdit"), Qt::Key_Return);
    EXPECT_EQ(Bytes(0x11, 1), std::vector<uint8_t>{0x66});
    EXPECT_EQ(Text(&dialog, "addressEdit"), "00000012");
    EXPECT_EQ(Child<QTableWidget>(&dialog, "dataGrid")->item(0, 1)->text(), " 66") << "the page starts at 0x10";

    Click(&dialog, "closeButton");
    command.StoreBack();
    EXPECT_EQ(doc.editAddress, 0x12u);
    EXPECT_EQ(doc.editUnit, 0);
}

TEST_F(ImageDialogs, TabLeavesTheEditorsGrid)
{
    CEditImageCommand command(doc);
    CEditImageDialog dialog(command);
    ShowForTest(&dialog);
    dialog.activateWindow();
    auto* grid = Child<QTableWidget>(&dialog, "dataGrid");
    grid->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->hasFocus(); }, 2000));
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_FALSE(grid->hasFocus()) << "Tab moved inside the grid";
    EXPECT_NE(dialog.focusWidget(), nullptr);
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(grid->hasFocus()) << "Shift+Tab comes back to the grid";
}

TEST_F(ImageDialogs, EditorScrollsLineAndPageWiseButNotPastThePhysicalRange)
{
    doc.physicalRange = CMemoryRange(0x1000, 0x1000, 1);
    doc.editAddress = 0x1000;
    CEditImageCommand command(doc);
    CEditImageDialog dialog(command);
    ShowForTest(&dialog);
    auto* addresses = Child<QListWidget>(&dialog, "addressList");
    auto* scroll = Child<QScrollBar>(&dialog, "scrollBar");
    const auto top = [&] { return addresses->item(0)->text(); };

    EXPECT_EQ(top(), " 00001000");
    scroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(top(), " 00001000") << "line up at the physical start does nothing";
    scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(top(), " 00001010");
    EXPECT_EQ(scroll->value(), 0x10);
    scroll->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(top(), " 00001000") << "page up stops at the physical start";
    for (int i = 0; i < 40; ++i)
        scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(top(), " 00001F80") << "the last page ends at the physical end";
    scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(top(), " 00001F80");
    EXPECT_EQ(scroll->value(), 0xF80);
}

} // namespace

// ---- Units out of range ----------------------------------------------------------

// A damaged project file can hold any 16-bit unit index. The dialogs show it
// as Long and leave the value in the project as read unless a unit is chosen.
TEST_F(ImageDialogs, UnitIndexesOutOfRangeShowAsLongAndStayAsRead)
{
    Put(0x100, {0x01, 0x02, 0x03, 0x04});
    doc.checksumType = doc.checksumDestType = doc.fillUnit = doc.editUnit = 0xFFFF;
    doc.checksumRange = CMemoryRange(0x100, 4, 1);
    {
        CChecksumCommand command(doc);
        CChecksumDialog dialog(command, {&box});
        ShowForTest(&dialog);
        EXPECT_TRUE(Child<QAbstractButton>(&dialog, "sourceLongRadio")->isChecked());
        EXPECT_TRUE(Child<QAbstractButton>(&dialog, "destLongRadio")->isChecked());
        Click(&dialog, "calculateButton");
        EXPECT_EQ(Text(&dialog, "checksumEdit"), "04030201");
        Click(&dialog, "closeButton");
        EXPECT_FALSE(command.StoreBack());
    }
    {
        CFillCommand command(doc);
        CFillDialog dialog(command, {&box});
        ShowForTest(&dialog);
        EXPECT_TRUE(Child<QAbstractButton>(&dialog, "longRadio")->isChecked());
        Click(&dialog, "closeButton");
        command.StoreBack(); // the range the dialog started with goes back
    }
    {
        CEditImageCommand command(doc);
        CEditImageDialog dialog(command);
        ShowForTest(&dialog);
        EXPECT_TRUE(Child<QAbstractButton>(&dialog, "longRadio")->isChecked());
        command.StoreBack();
    }
    EXPECT_EQ(doc.checksumType, 0xFFFF);
    EXPECT_EQ(doc.checksumDestType, 0xFFFF);
    EXPECT_EQ(doc.fillUnit, 0xFFFF);
    EXPECT_EQ(doc.editUnit, 0xFFFF);

    // A unit the person chooses is taken.
    CChecksumCommand command(doc);
    CChecksumDialog dialog(command, {&box});
    ShowForTest(&dialog);
    Click(&dialog, "sourceWordRadio");
    Click(&dialog, "closeButton");
    EXPECT_TRUE(command.StoreBack());
    EXPECT_EQ(doc.checksumType, 1);
    EXPECT_EQ(doc.checksumDestType, 0xFFFF);
}
