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
// one zero byte. The front end moves these bytes to and from its clipboard.
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

    // Paste of the "CF_QDX_INITLIST" bytes: each line up to a carriage return
    // (the line feed after it skipped) becomes an entry by the lenient line
    // parse and its display line is inserted, in clipboard order, before the
    // first selected line (at the end with none); text after the last
    // carriage return is not a complete line and is dropped. The selection
    // is cleared. Answers the number of lines inserted.
    size_t Paste(std::string_view data);
    // Paste of plain text (a text editor's copy): the same, but a line may
    // also end in a line feed alone, and every complete line must be a
    // display line by the strict line parse (blank lines are skipped);
    // otherwise nothing is inserted,
    // the box names the first bad line and the answer is 0.
    size_t PasteText(std::string_view text, CMessageBox& box);

    // The complete lines of clipboard text: each ends at a carriage return
    // (a line feed right after it belongs to that end) or at a line feed;
    // the zero byte ends the text; what follows the last end is dropped.
    static std::vector<std::string> ClipboardLines(std::string_view data);

    // OK: the list rebuilt from the lines (each by the lenient line parse).
    void StoreInto(CCodeList& list) const;

private:
    size_t InsertPosition() const { return selection_.empty() ? lines_.size() : selection_.front(); }
    bool TooManySelected(CMessageBox& box) const;
    void InsertLines(const std::vector<std::string>& lines);

    std::vector<std::string> lines_;
    std::vector<size_t> selection_;
};
