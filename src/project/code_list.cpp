#include "project/code_list.h"

#include "common/text_format.h"
#include "project/archive.h"

namespace {

// The smallest tagged object in a file: a null tag or an object reference.
constexpr size_t kMinTaggedObjectBytes = 2;

bool IsBlank(std::string_view line)
{
    for (char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

} // namespace

CCodeList::CCodeList(const CCodeList& other)
{
    *this = other;
}

CCodeList& CCodeList::operator=(const CCodeList& other)
{
    if (this == &other)
        return *this;
    std::vector<std::unique_ptr<CCodeItem>> copy;
    copy.reserve(other.items.size());
    for (const auto& item : other.items)
        copy.push_back(item ? std::make_unique<CCodeItem>(*item) : nullptr);
    items = std::move(copy);
    return *this;
}

CCodeItem* CCodeList::GetAt(size_t index)
{
    return index < items.size() ? items[index].get() : nullptr;
}

const CCodeItem* CCodeList::GetAt(size_t index) const
{
    return index < items.size() ? items[index].get() : nullptr;
}

bool CCodeList::GetItemFields(size_t index, int& code, uint32_t& address, uint32_t& value) const
{
    const CCodeItem* item = GetAt(index);
    if (!item) {
        code = 0;
        address = 0;
        value = 0;
        return false;
    }
    std::string comment;
    item->GetFields(code, address, value, comment);
    return true;
}

bool CCodeList::GetItemDisplayLine(size_t index, std::string& line) const
{
    const CCodeItem* item = GetAt(index);
    if (!item) {
        line.clear();
        return false;
    }
    line = item->GetDisplayLine();
    return true;
}

std::string CCodeList::ToLines() const
{
    std::string text;
    for (const auto& item : items) {
        if (item) {
            const std::string line = item->GetDisplayLine();
            text += line;
            // Reading a line drops one carriage return before its line end
            // (a file edited on Windows): a comment that ends in carriage
            // returns gets one more, so that it reads back as it was.
            if (!line.empty() && line.back() == '\r')
                text += '\r';
            text += '\n';
        }
    }
    return text;
}

bool CCodeList::ParseLines(std::string_view text, std::string& errors)
{
    errors.clear();
    std::vector<std::unique_ptr<CCodeItem>> parsed;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (IsBlank(line))
            continue;
        auto item = std::make_unique<CCodeItem>();
        std::string reason;
        if (CCodeItem::ParseLine(line, *item, reason)) {
            parsed.push_back(std::move(item));
        } else {
            if (!errors.empty())
                errors += '\n';
            errors += Format("line %zu: %s", lineNumber, reason.c_str());
            // The most common slip: columns lined up with spaces.
            if (line.find('\t') == std::string_view::npos && line.find(' ') != std::string_view::npos)
                errors += " (the columns are separated by TAB characters, not spaces)";
        }
    }
    if (!errors.empty())
        return false;
    items = std::move(parsed);
    return true;
}

void CCodeList::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(items.size());
        for (const auto& item : items)
            if (ar.WriteObjectTag(CCodeItem::kClass, item.get()))
                item->Serialize(ar);
        return;
    }

    const uint32_t count = ar.ReadCount();
    if (!ar.CheckCount(count, kMinTaggedObjectBytes))
        return;
    // Grown entry by entry, so memory follows what the file really holds.
    std::vector<std::unique_ptr<CCodeItem>> read;
    for (uint32_t i = 0; i < count && ar.Ok(); ++i) {
        uint32_t index = 0;
        switch (ar.ReadObjectTag(CCodeItem::kClass, index)) {
        case CArchive::EObjectTag::Null:
            read.push_back(nullptr);
            break;
        case CArchive::EObjectTag::New: {
            auto item = std::make_unique<CCodeItem>();
            ar.BindObject(index, item.get());
            item->Serialize(ar);
            read.push_back(std::move(item));
            break;
        }
        case CArchive::EObjectTag::Reference: {
            const auto* earlier = static_cast<const CCodeItem*>(ar.GetBoundObject(index));
            if (!earlier)
                ar.Fail(EArchiveError::BadIndex, Format("a reference to entry %u, which is not there", index));
            else if (ar.ChargeCopy(earlier->GetText().size()))
                read.push_back(std::make_unique<CCodeItem>(*earlier));
            break;
        }
        case CArchive::EObjectTag::Error:
            break;
        }
    }
    if (ar.Ok())
        items = std::move(read);
}

bool CCodeList::operator==(const CCodeList& other) const
{
    if (items.size() != other.items.size())
        return false;
    for (size_t i = 0; i < items.size(); ++i) {
        const CCodeItem* a = items[i].get();
        const CCodeItem* b = other.items[i].get();
        if ((a == nullptr) != (b == nullptr) || (a && *a != *b))
            return false;
    }
    return true;
}
