// How the Load command tells a program file's format: line-end styles and a
// byte-order mark read alike, a plain text file that no reader takes is not
// loaded as binary data unless someone says so, a format asked for by name is
// the only one tried, and records that overlap with other bytes are loaded
// with a warning.
#include "files/load_model.h"
#include "files/program_file_readers.h"
#include "files/srecord_writer.h"
#include "files_test_support.h"
#include "support/recording_operation_view.h"

namespace {

std::vector<uint8_t> Pattern(size_t n, int seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 11 + seed);
    return v;
}

// An S-record file (header, data at 0x2000 in records of 16, end record)
// and an Intel HEX file of the same data, with LF line ends.
std::string SRecordFile(const std::vector<uint8_t>& data)
{
    std::string s = FormatSRecord(0, 0, reinterpret_cast<const uint8_t*>("hdr"), 3) + "\n";
    for (size_t i = 0; i < data.size(); i += 16)
        s += FormatSRecord(1, 0x2000 + static_cast<uint32_t>(i), data.data() + i, std::min<size_t>(16, data.size() - i)) +
             "\n";
    return s + FormatSRecord(9, 0, nullptr, 0) + "\n";
}

std::string IntelHexFile(const std::vector<uint8_t>& data)
{
    std::string s;
    for (size_t i = 0; i < data.size(); i += 16) {
        const size_t n = std::min<size_t>(16, data.size() - i);
        const uint32_t at = 0x2000 + static_cast<uint32_t>(i);
        std::vector<uint8_t> r = {static_cast<uint8_t>(n), static_cast<uint8_t>(at >> 8), static_cast<uint8_t>(at), 0};
        r.insert(r.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
        uint8_t sum = 0;
        for (uint8_t b : r)
            sum = static_cast<uint8_t>(sum + b);
        r.push_back(static_cast<uint8_t>(-sum));
        s += ":";
        for (uint8_t b : r) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", b);
            s += hex;
        }
        s += "\n";
    }
    return s + ":00000001FF\n";
}

// The LF file with its line ends in another style: every line, or every
// other line (mixed).
std::string WithLineEnds(const std::string& text, const std::string& end, bool everyOther = false)
{
    std::string out;
    int line = 0;
    for (char c : text) {
        if (c != '\n') {
            out += c;
            continue;
        }
        out += everyOther && line % 2 == 1 ? std::string("\n") : end;
        ++line;
    }
    return out;
}

class LoadRecognition : public FilesTest {
protected:
    int Load(const std::string& content, EProgramFormat format = EProgramFormat::Auto)
    {
        model.fileName = Write("program.txt", content);
        model.format = format;
        box.shown.clear();
        view.statuses.clear();
        return model.Load(view, box);
    }

    // The image before each load, so that a refused load shows whether it
    // changed anything.
    void SetUp() override
    {
        FilesTest::SetUp();
        ASSERT_EQ(image.WriteBlock(0x100, Bytes({0x12, 0x34}).data(), 2), 0);
    }
    void ExpectImageUnchanged()
    {
        EXPECT_EQ(Read(0xFE, 6), Bytes({0xFF, 0xFF, 0x12, 0x34, 0xFF, 0xFF}));
        EXPECT_EQ(image.GetUsedRange(1).GetStart(), 0x100u);
        EXPECT_EQ(image.GetUsedRange(1).GetSize(), 2u);
    }

    CLoadModel model{image, physical};
    CRecordingOperationView view;
    CScriptedMessageBox box;
};

// Every line-end style, with and without a byte-order mark, gives the same
// image and byte count as the LF file.
TEST_F(LoadRecognition, LineEndStylesAndAByteOrderMarkLoadAlike)
{
    const auto data = Pattern(100, 3);
    for (const std::string& lf : {SRecordFile(data), IntelHexFile(data)}) {
        for (const auto& [style, text] : std::vector<std::pair<std::string, std::string>>{
                 {"LF", lf},
                 {"CRLF", WithLineEnds(lf, "\r\n")},
                 {"CR", WithLineEnds(lf, "\r")},
                 {"CR mixed with LF", WithLineEnds(lf, "\r", true)},
                 {"CRLF mixed with LF", WithLineEnds(lf, "\r\n", true)},
                 {"byte-order mark and CR", "\xEF\xBB\xBF" + WithLineEnds(lf, "\r")},
                 {"no line end after the last line", lf.substr(0, lf.size() - 1)},
             }) {
            SCOPED_TRACE(lf.substr(0, 2) + " " + style);
            image.Clear();
            ASSERT_EQ(Load(text), kLoadOk) << (box.shown.empty() ? "" : box.shown[0].text);
            EXPECT_EQ(model.BytesLoaded(), 100u);
            EXPECT_EQ(Read(0x2000, 100), data);
            EXPECT_EQ(image.GetUsedRange(1).GetStart(), 0x2000u);
            EXPECT_EQ(image.GetUsedRange(1).GetSize(), 100u);
            EXPECT_EQ(model.FormatRead(), lf[0] == 'S' ? EProgramFormat::SRecord : EProgramFormat::IntelHex);
        }
    }
}

// A text file that is no record file (prose, blank lines only, a record file
// whose first line is prose) is refused where no one can be asked, and
// otherwise loaded as binary data only on Yes; No is the default button.
TEST_F(LoadRecognition, PlainTextIsLoadedAsBinaryDataOnlyWhenSomeoneSaysSo)
{
    const std::string texts[] = {"hello, flash\n", "\n\n   \n\t\n", "\r\r\r", "# generated\n" + SRecordFile({1, 2}),
                                 "\xEF\xBB\xBF" "Gr\xC3\xBC\xC3\x9F" "e\n"};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        model.textRule = CLoadModel::ETextRule::Refuse;
        EXPECT_EQ(Load(text), kLoadRefused);
        EXPECT_TRUE(model.RefusedAsText());
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, model.fileName +
                                         ": a text file, but no S-record or Intel HEX file: it is not loaded as "
                                         "binary data !\nThe memory image is unchanged.\nLoading process aborted...");
        EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), "Loading Binary File... please wait!"), 0);
        ExpectImageUnchanged();

        model.textRule = CLoadModel::ETextRule::Ask;
        box.Answer(EMsgResult::No);
        EXPECT_EQ(Load(text), kLoadNotFormat);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, model.fileName + " is a text file, but no S-record or Intel HEX file.\n\n"
                                                      "Load its characters into the memory image as binary data?");
        EXPECT_EQ(box.shown[0].caption, "Confirmed");
        EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNoDefaultNo);
        EXPECT_EQ(view.LastStatus(), "Not loaded: the file is text, but no program file. The memory image is unchanged.");
        ExpectImageUnchanged();
    }

    box.Answer(EMsgResult::Yes);
    model.offset.SetValue(0x3000);
    EXPECT_EQ(Load(texts[0]), kLoadOk);
    EXPECT_FALSE(model.RefusedAsText());
    EXPECT_EQ(ReadString(0x3000, 13), texts[0]);
    EXPECT_EQ(view.LastStatus(), "Loading of 13 bytes successful terminated ! (binary file)");
}

// True binaries load as before without a question; an empty file is refused.
TEST_F(LoadRecognition, BinaryDataLoadsAtOnceAndAnEmptyFileIsRefused)
{
    const std::string binaries[] = {std::string("\x00\x01\x02\x03", 4), "text with a bell\x07",
                                    "bad UTF-8 \xC3(", "cut UTF-8 \xE2\x82"};
    for (const std::string& bytes : binaries) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(Load(bytes), kLoadOk);
        EXPECT_TRUE(box.shown.empty());
        EXPECT_EQ(ReadString(0, static_cast<uint32_t>(bytes.size())), bytes);
        EXPECT_EQ(model.FormatRead(), EProgramFormat::Binary);
    }
    image.Clear();
    ASSERT_EQ(image.WriteBlock(0x100, Bytes({0x12, 0x34}).data(), 2), 0);
    EXPECT_EQ(Load(""), kLoadRefused);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              model.fileName + ": the file is empty !\nThe memory image is unchanged.\nLoading process aborted...");
    ExpectImageUnchanged();
}

// A format asked for by name is the only reader run: a file not of that
// format is refused with the reader's reason, and binary loads any file.
TEST_F(LoadRecognition, AFormatAskedForByNameIsTheOnlyOneTried)
{
    const std::string hex = IntelHexFile({1, 2, 3});
    const struct {
        EProgramFormat format;
        const char* message;
    } refusals[] = {
        {EProgramFormat::SRecord, ", line 1: the first line is no S-record !"},
        {EProgramFormat::Elf, ": not an ELF file !"},
        {EProgramFormat::Abs, ": not an absolute file !"},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(Load(hex, c.format), kLoadRefused);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text,
                  model.fileName + c.message + "\nThe memory image is unchanged.\nLoading process aborted...");
        EXPECT_EQ(view.statuses.size(), 3u); // cleared, the one reader, cleared
        ExpectImageUnchanged();
    }
    EXPECT_EQ(Load(hex, EProgramFormat::IntelHex), kLoadOk);
    EXPECT_EQ(Read(0x2000, 3), Bytes({1, 2, 3}));
    EXPECT_EQ(Load("\n\n", EProgramFormat::IntelHex), kLoadRefused);
    EXPECT_EQ(box.shown[0].text, model.fileName + ": the file holds no Intel HEX record !\nThe memory image is "
                                                  "unchanged.\nLoading process aborted...");
    EXPECT_EQ(Load(hex, EProgramFormat::Binary), kLoadOk);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ReadString(0, static_cast<uint32_t>(hex.size())), hex);
    EXPECT_EQ(view.LastStatus(), "Loading of " + std::to_string(hex.size()) + " bytes successful terminated ! (binary file)");

    const struct {
        const char* word;
        EProgramFormat format;
    } words[] = {{"auto", EProgramFormat::Auto}, {"srec", EProgramFormat::SRecord}, {"hex", EProgramFormat::IntelHex},
                 {"elf", EProgramFormat::Elf},   {"abs", EProgramFormat::Abs},      {"binary", EProgramFormat::Binary}};
    for (const auto& w : words) {
        EProgramFormat parsed = EProgramFormat::Auto;
        EXPECT_TRUE(CLoadModel::ParseFormat(w.word, parsed)) << w.word;
        EXPECT_EQ(parsed, w.format) << w.word;
    }
    EProgramFormat parsed = EProgramFormat::Auto;
    EXPECT_FALSE(CLoadModel::ParseFormat("s19", parsed));
}

// Records that write an address twice: with the same bytes nothing is said;
// with other bytes the later record wins and the warning names the first
// address that differs.
TEST_F(LoadRecognition, OverlappingRecordsWithOtherBytesLoadWithAWarning)
{
    const auto rec = [](uint32_t address, std::vector<uint8_t> data) {
        return FormatSRecord(1, address, data.data(), data.size()) + "\n";
    };
    EXPECT_EQ(Load(rec(0x1000, {1, 2, 3, 4}) + rec(0x1002, {3, 4}) + rec(0x0FFE, {7, 7, 1})), kLoadOk);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(model.Report().overlap);

    // Out of order, the second record reaching back into the first.
    EXPECT_EQ(Load(rec(0x1100, {1, 2}) + rec(0x1000, {1, 2, 3, 4}) + rec(0x1002, {3, 9}) + rec(0x10FF, {5, 1})),
              kLoadOk);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, model.fileName + ": records overlap with different bytes, first at 00001003 Hex.\n"
                                                  "The bytes of the later record were loaded.");
    EXPECT_EQ(box.shown[0].caption, "Warning");
    EXPECT_EQ(Read(0x1000, 4), Bytes({1, 2, 3, 9}));
    EXPECT_EQ(model.Report().overlapAddress, 0x1003u);
    EXPECT_EQ(model.BytesLoaded(), 10u);
}

} // namespace
