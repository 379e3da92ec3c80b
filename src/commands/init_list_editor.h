#pragma once

#include "project/code_item.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CCodeList;
class CMessageBox;

// The working copy of the Target Init List dialog: the list's display lines
// and the lines the person has selected. Every operation changes only these
// lines; the project's list is rebuilt from them on OK (StoreInto), so Cancel
// leaves it exactly as it was.
//
// The clipboard content of copied entries ("CF_QDX_INITLIST") is single-byte
// text: each display line followed by carriage return and line feed, then
// one zero byte. The front end moves these bytes to and from its clipboard,
// and the same text as plain text; plain text from elsewhere (a text
// editor) is pasted by the same strict rules.
class CInitListEditor {
public:
    static constexpr const char* kClipboardFormat = "CF_QDX_INITLIST";
    static constexpr const char* kCaption = "Initlist";
    static constexpr size_t kMaxSelected = 256;

    // The display line of every entry in list order, empty slots skipped.
    explicit CInitListEditor(const CCodeList& list);

    const std::vector<std::string>& Lines() const { return lines_; }
    // The selected line indexes, ascending.
    const std::vector<size_t>& Selection() const { return selection_; }
    // The person's selection; indexes past the end are dropped.
    void Select(std::vector<size_t> rows);

    struct SButtons {
        bool newEntry = true;
        bool copy = false;
        bool paste = false;
        bool edit = false;
        bool remove = false;
        bool operator==(const SButtons&) const = default;
    };
    // The buttons' enabled states for the selection; `clipboardHasEntries`
    // says whether the clipboard holds something Paste takes.
    SButtons Buttons(bool clipboardHasEntries) const;

    // New: the entry the Edit Init Line dialog opens with (NOP, 0, 0,
    // "Comment"); InsertNew puts the confirmed entry before the first
    // selected line (at the end with none) and clears the selection.
    static CCodeItem NewEntry() { return CCodeItem(CCodeItem::Nop, 0, 0, "Comment"); }
    void InsertNew(const CCodeItem& item);
    // Edit: the entry of the first selected line (none: nothing to edit);
    // ReplaceEdited puts the confirmed entry in its place and selects it.
    std::optional<CCodeItem> EditedEntry() const;
    void ReplaceEdited(const CCodeItem& item);

    // Delete: more than 256 selected lines are refused, two or more are
    // deleted only after the question. True when lines were deleted.
    bool Delete(CMessageBox& box);
    // Copy: the clipboard bytes of the selected lines in ascending order;
    // nothing (after the refusal) with more than 256 selected, and nothing
    // with none selected. The selection is cleared after a copy.
    std::optional<std::string> Copy(CMessageBox& box);

    // Both clipboard formats are read by the same strict rules: every line
    // must be a display line by the strict line parse (CCodeItem::ParseLine:
    // a known type, numbers that are whole unsigned 32-bit numbers, ...),
    // blank lines are skipped, and a content of more than kMaxPasteLines
    // lines is refused before any line is read. A refusal inserts nothing,
    // shows its reason in the box and answers 0. Otherwise the entries'
    // display lines are inserted, in clipboard order, before the first
    // selected line (at the end with none), the selection is cleared, and
    // the answer is the number of lines inserted.
    static constexpr size_t kMaxPasteLines = 4096;

    // Paste of the "CF_QDX_INITLIST" bytes: the text up to the zero byte,
    // each line ended by carriage return and line feed (what Copy writes); a
    // carriage return or line feed of its own is refused, and text after the
    // last line end is an unfinished line and is dropped. The overload
    // without a box refuses silently.
    size_t Paste(std::string_view data, CMessageBox& box);
    size_t Paste(std::string_view data);
    // Paste of plain text (a text editor's copy): a line ends in carriage
    // return and line feed, or in either alone; the last line counts also
    // without a line end (an editor copies a selection without its final
    // newline).
    size_t PasteText(std::string_view text, CMessageBox& box);

    // The lines of plain clipboard text as PasteText reads them: each ends
    // at a carriage return (a line feed right after it belongs to that end)
    // or at a line feed; the zero byte ends the text; a last line without
    // end is kept.
    static std::vector<std::string> ClipboardLines(std::string_view data);

    // OK: the list rebuilt from the lines (each by the lenient line parse).
    void StoreInto(CCodeList& list) const;

private:
    size_t InsertPosition() const { return selection_.empty() ? lines_.size() : selection_.front(); }
    bool TooManySelected(CMessageBox& box) const;
    void InsertLines(const std::vector<std::string>& lines);
    // The strict reading both Paste and PasteText share.
    size_t PasteLines(const std::vector<std::string>& lines, CMessageBox& box);
    static bool TooManyLines(std::string_view data, CMessageBox& box);

    std::vector<std::string> lines_;
    std::vector<size_t> selection_;
};
