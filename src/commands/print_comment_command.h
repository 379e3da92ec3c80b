#pragma once

#include <string>

class CQpgDoc;

// The Print Comment command ("Print &Comment..."): the four texts that head
// the setup report. The comment keeps its line breaks as the project file
// holds them (carriage return and line feed); the dialog edits it with line
// feeds (EditComment / SetEditComment convert). OK stores all four back and
// marks the project modified, also when nothing changed.
class CPrintCommentCommand {
public:
    static constexpr size_t kMaxHeader = 80; // characters of each header and the title

    explicit CPrintCommentCommand(const CQpgDoc& doc);

    // The comment with line feeds only / from text with line feeds (or CR LF).
    std::string EditComment() const;
    void SetEditComment(const std::string& text);

    void StoreBack(CQpgDoc& doc) const;

    // Whether the comment holds a run of more than kLongWord characters
    // without a blank or line break (a pasted blob, a damaged file). An
    // editor that wraps at word boundaries searches such a run for a break
    // again for every line it wraps, which takes minutes for a megabyte:
    // the dialog then wraps anywhere, which costs one pass.
    static constexpr size_t kLongWord = 1000;
    bool HasLongWord() const;

    std::string headerLeft;
    std::string headerRight;
    std::string setupTitle;
    std::string comment;
};
