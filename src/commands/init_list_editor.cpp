#include "commands/init_list_editor.h"

#include "common/message_box.h"
#include "common/text_format.h"
#include "project/code_list.h"

#include <algorithm>

CInitListEditor::CInitListEditor(const CCodeList& list)
{
    lines_.reserve(list.GetCount());
    for (size_t i = 0; i < list.GetCount(); ++i) {
        std::string line;
        if (list.GetItemDisplayLine(i, line))
            lines_.push_back(std::move(line));
    }
}

void CInitListEditor::Select(std::vector<size_t> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::lower_bound(rows.begin(), rows.end(), lines_.size()), rows.end());
    selection_ = std::move(rows);
}

CInitListEditor::SButtons CInitListEditor::Buttons(bool clipboardHasEntries) const
{
    SButtons b;
    const size_t selected = selection_.size();
    b.newEntry = selected <= 1;
    b.copy = selected >= 1;
    b.remove = selected >= 1;
    b.edit = selected == 1;
    b.paste = selected <= 1 && clipboardHasEntries;
    return b;
}

void CInitListEditor::InsertNew(const CCodeItem& item)
{
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(InsertPosition()), item.GetDisplayLine());
    selection_.clear();
}

std::optional<CCodeItem> CInitListEditor::EditedEntry() const
{
    if (selection_.empty())
        return std::nullopt;
    return CCodeItem(lines_[selection_.front()]);
}

void CInitListEditor::ReplaceEdited(const CCodeItem& item)
{
    if (selection_.empty())
        return;
    const size_t row = selection_.front();
    lines_[row] = item.GetDisplayLine();
    selection_ = {row};
}

bool CInitListEditor::TooManySelected(CMessageBox& box) const
{
    if (selection_.size() <= kMaxSelected)
        return false;
    box.Show("To match items selected (max 256 allowed)", kCaption, EMsgIcon::Stop, EMsgButtons::Ok);
    return true;
}

bool CInitListEditor::Delete(CMessageBox& box)
{
    if (selection_.empty() || TooManySelected(box))
        return false;
    if (selection_.size() >= 2 &&
        box.Show("Do you really want delete the selected items ?", kCaption, EMsgIcon::None, EMsgButtons::YesNo) !=
            EMsgResult::Yes)
        return false;
    // Highest index first, so that the indexes still to delete stay valid.
    for (auto it = selection_.rbegin(); it != selection_.rend(); ++it)
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*it));
    selection_.clear();
    return true;
}

std::optional<std::string> CInitListEditor::Copy(CMessageBox& box)
{
    if (selection_.empty() || TooManySelected(box))
        return std::nullopt;
    std::string data;
    for (size_t row : selection_) {
        data += lines_[row];
        data += "\r\n";
    }
    data.push_back('\0');
    selection_.clear();
    return data;
}

namespace {

// The text up to its zero byte, if it has one.
std::string_view UpToZero(std::string_view data)
{
    const size_t zero = data.find('\0');
    return zero == std::string_view::npos ? data : data.substr(0, zero);
}

} // namespace

bool CInitListEditor::TooManyLines(std::string_view data, CMessageBox& box)
{
    // Counted before anything is copied, so that a huge clipboard costs no
    // memory: line ends (CR LF, CR, LF), and a last line without one.
    size_t lines = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\r' && data[i] != '\n')
            continue;
        ++lines;
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
            ++i;
    }
    if (!data.empty() && data.back() != '\r' && data.back() != '\n')
        ++lines;
    if (lines <= kMaxPasteLines)
        return false;
    box.Show(Format("The clipboard holds more than %zu lines: paste at most %zu lines at a time.", kMaxPasteLines,
                    kMaxPasteLines),
             kCaption, EMsgIcon::Stop, EMsgButtons::Ok);
    return true;
}

std::vector<std::string> CInitListEditor::ClipboardLines(std::string_view data)
{
    data = UpToZero(data);
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.emplace_back(data.substr(begin, i - begin));
        if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
            ++i;
        begin = i + 1;
    }
    if (begin < data.size())
        lines.emplace_back(data.substr(begin));
    return lines;
}

void CInitListEditor::InsertLines(const std::vector<std::string>& lines)
{
    const auto at = lines_.begin() + static_cast<std::ptrdiff_t>(InsertPosition());
    lines_.insert(at, lines.begin(), lines.end());
    selection_.clear();
}

size_t CInitListEditor::PasteLines(const std::vector<std::string>& lines, CMessageBox& box)
{
    std::vector<std::string> display;
    display.reserve(lines.size());
    size_t number = 0;
    for (const std::string& line : lines) {
        ++number;
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue; // a blank line
        CCodeItem item;
        std::string reason;
        if (!CCodeItem::ParseLine(line, item, reason)) {
            box.Show(Format("The clipboard does not hold init list entries: line %zu: %s", number, reason.c_str()),
                     kCaption, EMsgIcon::Stop, EMsgButtons::Ok);
            return 0;
        }
        display.push_back(item.GetDisplayLine());
    }
    InsertLines(display);
    return display.size();
}

size_t CInitListEditor::Paste(std::string_view data, CMessageBox& box)
{
    data = UpToZero(data);
    if (TooManyLines(data, box))
        return 0;
    // Lines end in CR LF; what follows the last one is unfinished and
    // dropped. A CR or LF of its own is no line end of this format.
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < data.size()) {
        const size_t end = data.find("\r\n", begin);
        const std::string_view line = data.substr(begin, end == std::string_view::npos ? end : end - begin);
        if (line.find_first_of("\r\n") != std::string_view::npos) {
            box.Show(Format("The clipboard does not hold init list entries: line %zu: a line break that is not a "
                            "carriage return and line feed",
                            lines.size() + 1),
                     kCaption, EMsgIcon::Stop, EMsgButtons::Ok);
            return 0;
        }
        if (end == std::string_view::npos)
            break;
        lines.emplace_back(line);
        begin = end + 2;
    }
    return PasteLines(lines, box);
}

size_t CInitListEditor::Paste(std::string_view data)
{
    class CUnseenBox final : public CMessageBox {
    public:
        EMsgResult Show(const std::string&, const std::string&, EMsgIcon, EMsgButtons) override
        {
            return EMsgResult::Ok;
        }
    } unseen;
    return Paste(data, unseen);
}

size_t CInitListEditor::PasteText(std::string_view text, CMessageBox& box)
{
    text = UpToZero(text);
    if (TooManyLines(text, box))
        return 0;
    return PasteLines(ClipboardLines(text), box);
}

void CInitListEditor::StoreInto(CCodeList& list) const
{
    list.DeleteAll();
    for (const std::string& line : lines_) {
        if (!line.empty())
            list.Add(CCodeItem(line));
    }
}
