// Init-list paste in the editor, both clipboard forms: our own bytes
// ("CF_QDX_INITLIST", Paste) and plain text (PasteText). The first byte
// chooses the form and where the lines go; the rest is the clipboard.
// Whatever a paste inserts lands as a block of display lines at the chosen
// place, the lines around it unchanged; a refused paste changes nothing; pasted entries copied and pasted again come back the same.
#include "commands/init_list_editor.h"
#include "common/message_box.h"
#include "project/code_item.h"
#include "project/code_list.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Answers every question with Yes and shows nothing.
class CQuietBox final : public CMessageBox {
public:
    EMsgResult Show(const std::string&, const std::string&, EMsgIcon, EMsgButtons) override
    {
        ++shown;
        return EMsgResult::Yes;
    }
    int shown = 0;
};

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t control = data[0];
    const std::string_view clipboard(reinterpret_cast<const char*>(data + 1), size - 1);

    CCodeList list;
    list.Add(CCodeItem(CCodeItem::Wm32, 0xFFE00000, 1, "first"));
    list.Add(CCodeItem(CCodeItem::Delay, 0, 10, ""));
    CInitListEditor editor(list);
    const std::vector<std::string> before = editor.Lines();
    const size_t row = control % 3; // 0, 1: before that line; 2: at the end
    if (row < before.size())
        editor.Select({row});

    CQuietBox box;
    const bool text = (control & 0x80) != 0;
    const size_t inserted = text ? editor.PasteText(clipboard, box) : editor.Paste(clipboard);
    const std::vector<std::string>& after = editor.Lines();
    Check(after.size() == before.size() + inserted);
    // A refused paste (either form is parsed strictly) may keep the
    // selection; a paste that took place clears it.
    Check(inserted == 0 || editor.Selection().empty());
    for (size_t i = 0; i < row && i < before.size(); ++i)
        Check(after[i] == before[i]);
    for (size_t i = row; i < before.size(); ++i)
        Check(after[i + inserted] == before[i]);
    if (inserted == 0)
        return 0;

    for (size_t i = row; i < row + inserted; ++i) {
        // A pasted line is a display line: it parses to an entry that shows as it.
        const std::string& line = after[i];
        Check(CCodeItem(line).GetDisplayLine() == line);
        if (text) {
            CCodeItem strict;
            std::string reason;
            Check(CCodeItem::ParseLine(line, strict, reason));
        }
    }

    // What was pasted, copied and pasted again into an empty list, is the same.
    if (inserted == 0 || inserted > CInitListEditor::kMaxSelected)
        return 0;
    std::vector<size_t> rows;
    for (size_t i = row; i < row + inserted; ++i)
        rows.push_back(i);
    editor.Select(rows);
    const auto copied = editor.Copy(box);
    Check(copied.has_value());
    CInitListEditor again{CCodeList()};
    Check(again.Paste(*copied) == inserted);
    for (size_t i = 0; i < inserted; ++i)
        Check(again.Lines()[i] == after[row + i]);
    return 0;
}
