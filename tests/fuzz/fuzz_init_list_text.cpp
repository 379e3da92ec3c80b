// Init-list text: the strict line parse of an import, the lenient line parse
// of the editor and the list import. Whatever is accepted displays as a line
// that parses back to the same entry.
#include "project/code_item.h"
#include "project/code_list.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const CCodeItem lenient(text);
    int code = 0;
    uint32_t address = 0, value = 0;
    std::string comment;
    lenient.GetFields(code, address, value, comment);
    (void)lenient.GetDisplayLine();

    CCodeItem strict;
    std::string reason;
    if (CCodeItem::ParseLine(text, strict, reason)) {
        CCodeItem back;
        if (!CCodeItem::ParseLine(strict.GetDisplayLine(), back, reason) ||
            back.GetDisplayLine() != strict.GetDisplayLine())
            std::abort();
    } else if (reason.empty()) {
        std::abort();
    }

    CCodeList list;
    std::string errors;
    if (list.ParseLines(text, errors)) {
        CCodeList back;
        if (!back.ParseLines(list.ToLines(), errors) || back.ToLines() != list.ToLines())
            std::abort();
    } else if (errors.empty() || list.GetCount() != 0) {
        std::abort(); // refused text names its lines and leaves the list as it was
    }
    return 0;
}
