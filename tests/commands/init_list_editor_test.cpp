// The init list editor's clipboard reading: both formats by the same strict
// rules, a last line without line end in plain text, and the bound on the
// number of lines.
#include "commands/init_list_editor.h"
#include "project/code_list.h"
#include "support/scripted_message_box.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CCodeList ListOf(std::initializer_list<const char*> lines)
{
    CCodeList list;
    for (const char* line : lines)
        list.Add(CCodeItem(std::string_view(line)));
    return list;
}

const CCodeList kTwo = ListOf({"NOP\t\t\tfirst", "NOP\t\t\tlast"});

TEST(InitListClipboard, WhatCopyWritesPastesBackAsTheSameLines)
{
    CCodeList list = ListOf({"WM32\t0xFFFFFFFF\t0xDEADBEEF\tall ones", "DELAY\t\t29999\twait", "WGPR\t13\t0x1\tsp",
                             "WCP15\t0x0F01\t0x00000078\t"});
    CInitListEditor from(list);
    from.Select({0, 1, 2, 3});
    CScriptedMessageBox box;
    const std::optional<std::string> bytes = from.Copy(box);
    ASSERT_TRUE(bytes);
    CInitListEditor to(CCodeList{});
    EXPECT_EQ(to.Paste(*bytes, box), 4u);
    EXPECT_EQ(to.Lines(), from.Lines());
    EXPECT_TRUE(box.shown.empty());
}

TEST(InitListClipboard, OurFormatIsReadAsStrictlyAsText)
{
    const struct {
        const char* name;
        std::string bytes;
        const char* reason; // in the refusal; nullptr: accepted
        size_t pasted;
    } cases[] = {
        {"value past 32 bits", std::string("WM32\t0x0\t99999999999\tx\r\n") + '\0', "not a number", 0},
        {"unknown type", std::string("FOO\t1\t2\tx\r\n") + '\0', "unknown action type", 0},
        {"bare CRs", std::string("\r\r\r") + '\0', "line break", 0},
        {"bare LF inside", std::string("NOP\t\t\ta\nNOP\t\t\tb\r\n") + '\0', "line break", 0},
        {"lower case and blank lines", std::string("wm16\t0x10\t0x20\tfirst\r\n\r\n") + '\0', nullptr, 1},
        {"unfinished last line dropped", "NOP\t\t\tkept\r\nNOP\t\t\tcut", nullptr, 1},
        {"text after the zero byte ignored", std::string("NOP\t\t\ta\r\n") + '\0' + "FOO\r\n", nullptr, 1},
    };
    for (const auto& c : cases) {
        CInitListEditor editor(kTwo);
        CScriptedMessageBox box;
        EXPECT_EQ(editor.Paste(c.bytes, box), c.pasted) << c.name;
        EXPECT_EQ(editor.Lines().size(), 2 + c.pasted) << c.name;
        if (c.reason) {
            ASSERT_EQ(box.shown.size(), 1u) << c.name;
            EXPECT_NE(box.shown[0].text.find(c.reason), std::string::npos) << c.name << ": " << box.shown[0].text;
            EXPECT_EQ(box.shown[0].caption, "Initlist");
        } else {
            EXPECT_TRUE(box.shown.empty()) << c.name << ": " << box.shown[0].text;
        }
    }
}

TEST(InitListClipboard, PlainTextKeepsALastLineWithoutLineEnd)
{
    const struct {
        std::string text;
        std::vector<std::string> lines; // the pasted lines, before the list's two
    } cases[] = {
        {"WM32\t0x100\t7\tone line", {"WM32\t0x00000100\t0x00000007\tone line"}},
        {"NOP\t\t\ta\r\nNOP\t\t\tb", {"NOP\t\t\ta", "NOP\t\t\tb"}},
        {"NOP\t\t\ta\rNOP\t\t\tb\n", {"NOP\t\t\ta", "NOP\t\t\tb"}},
        {"\n\nNOP\t\t\ta\n\n", {"NOP\t\t\ta"}},
    };
    for (const auto& c : cases) {
        CInitListEditor editor(kTwo);
        editor.Select({0});
        CScriptedMessageBox box;
        EXPECT_EQ(editor.PasteText(c.text, box), c.lines.size()) << c.text;
        std::vector<std::string> expected = c.lines;
        expected.insert(expected.end(), {"NOP\t\t\tfirst", "NOP\t\t\tlast"});
        EXPECT_EQ(editor.Lines(), expected) << c.text;
        EXPECT_TRUE(editor.Selection().empty());
    }
}

TEST(InitListClipboard, MoreLinesThanThePasteBoundAreRefusedBeforeAnyIsRead)
{
    std::string many;
    for (size_t i = 0; i <= CInitListEditor::kMaxPasteLines; ++i)
        many += "NOP\t\t\tx\r\n";
    const std::string atBound = many.substr(many.find('\n') + 1); // exactly kMaxPasteLines lines
    for (const bool entries : {true, false}) {
        CInitListEditor editor(kTwo);
        CScriptedMessageBox box;
        EXPECT_EQ(entries ? editor.Paste(many + '\0', box) : editor.PasteText(many, box), 0u);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_NE(box.shown[0].text.find("more than 4096 lines"), std::string::npos) << box.shown[0].text;
        EXPECT_EQ(editor.Lines().size(), 2u);
        EXPECT_EQ(entries ? editor.Paste(atBound + '\0', box) : editor.PasteText(atBound, box),
                  CInitListEditor::kMaxPasteLines);
    }
}

} // namespace
