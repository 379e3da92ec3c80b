#include "commands/print_comment_command.h"
#include "project/qpg_doc.h"

#include <gtest/gtest.h>

namespace {

// The comment is edited with line feeds and kept with CR LF, as the project
// file holds a multi-line text; a line break already CR LF stays one.
TEST(PrintCommentCommand, CommentLineBreaksRoundTrip)
{
    struct SCase {
        const char* stored;
        const char* edited;
    } cases[] = {
        {"", ""},
        {"one line", "one line"},
        {"a\r\nb\r\n\r\nc", "a\nb\n\nc"},
        {"\r\nstarts with a break", "\nstarts with a break"},
        {"tab\there\r\n", "tab\there\n"},
    };
    for (const SCase& c : cases) {
        CQpgDoc doc(false);
        doc.comment = c.stored;
        CPrintCommentCommand command(doc);
        EXPECT_EQ(command.EditComment(), c.edited) << c.stored;
        command.SetEditComment(c.edited);
        EXPECT_EQ(command.comment, c.stored) << c.stored;
    }
    CQpgDoc doc(false);
    CPrintCommentCommand command(doc);
    command.SetEditComment("mixed\r\nbreaks\nhere");
    EXPECT_EQ(command.comment, "mixed\r\nbreaks\r\nhere");
    // A lone carriage return is kept as it is.
    doc.comment = "a\rb";
    EXPECT_EQ(CPrintCommentCommand(doc).EditComment(), "a\rb");
}

TEST(PrintCommentCommand, StoreBackCopiesAllFourAndMarksModified)
{
    CQpgDoc doc(false);
    CPrintCommentCommand unchanged(doc);
    unchanged.StoreBack(doc);
    EXPECT_TRUE(doc.IsModified());
    CPrintCommentCommand command(doc);
    command.headerLeft = "Left";
    command.headerRight = "Right";
    command.setupTitle = "Title";
    command.SetEditComment("c\nd");
    command.StoreBack(doc);
    EXPECT_EQ(doc.headerLeft, "Left");
    EXPECT_EQ(doc.headerRight, "Right");
    EXPECT_EQ(doc.setupTitle, "Title");
    EXPECT_EQ(doc.comment, "c\r\nd");
}

} // namespace
