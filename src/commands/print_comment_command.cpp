#include "commands/print_comment_command.h"

#include "project/qpg_doc.h"

CPrintCommentCommand::CPrintCommentCommand(const CQpgDoc& doc)
    : headerLeft(doc.headerLeft), headerRight(doc.headerRight), setupTitle(doc.setupTitle), comment(doc.comment)
{
}

std::string CPrintCommentCommand::EditComment() const
{
    std::string out;
    out.reserve(comment.size());
    for (size_t i = 0; i < comment.size(); ++i) {
        if (comment[i] == '\r' && i + 1 < comment.size() && comment[i + 1] == '\n')
            continue;
        out += comment[i];
    }
    return out;
}

void CPrintCommentCommand::SetEditComment(const std::string& text)
{
    comment.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            comment += '\r';
        comment += text[i];
    }
}

void CPrintCommentCommand::StoreBack(CQpgDoc& doc) const
{
    doc.StoreBackPrintComment(headerLeft, headerRight, setupTitle, comment);
}

bool CPrintCommentCommand::HasLongWord() const
{
    size_t run = 0;
    for (const char c : comment) {
        run = c == ' ' || c == '\t' || c == '\r' || c == '\n' ? 0 : run + 1;
        if (run > kLongWord)
            return true;
    }
    return false;
}
