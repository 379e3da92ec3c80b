#include "project/erase_map.h"

#include "common/text_format.h"
#include "project/archive.h"

#include <algorithm>
#include <utility>

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// A decimal number of at most 5 digits (the file form's 16-bit range).
bool ParseSmallDecimal(std::string_view s, int& out)
{
    if (s.empty() || s.size() > 5)
        return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

} // namespace

bool CEraseMap::Resize(int newBanks, int newSectors)
{
    if (newBanks < 0 || newSectors < 0 || newBanks > kMaxDimension || newSectors > kMaxDimension)
        return false;
    if (newBanks == banks && newSectors == sectors)
        return true;
    banks = newBanks;
    sectors = newSectors;
    selection.assign(static_cast<size_t>(banks) * static_cast<size_t>(sectors), 0);
    ClearAll();
    return true;
}

void CEraseMap::GetSize(int& outBanks, int& outSectors) const
{
    outBanks = banks;
    outSectors = sectors;
}

void CEraseMap::SelectSector(int bank, int sector, int flag)
{
    if (!Inside(bank, sector))
        return;
    selection[static_cast<size_t>(bank) * sectors + sector] = flag ? 1 : 0;
    modified = 1;
}

bool CEraseMap::IsSectorSelected(int bank, int sector) const
{
    return Inside(bank, sector) && selection[static_cast<size_t>(bank) * sectors + sector] == 1;
}

void CEraseMap::ClearAll()
{
    std::fill(selection.begin(), selection.end(), 0);
    modified = 1;
}

int CEraseMap::CountSelected() const
{
    int n = 0;
    for (uint8_t b : selection)
        n += b == 1;
    return n;
}

CEraseMap CEraseMap::Clipped(int maxBanks, int maxSectors) const
{
    CEraseMap part;
    part.banks = std::clamp(maxBanks, 0, banks);
    part.sectors = std::clamp(maxSectors, 0, sectors);
    part.selection.resize(static_cast<size_t>(part.banks) * static_cast<size_t>(part.sectors));
    for (int bank = 0; bank < part.banks; ++bank)
        std::copy_n(selection.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(bank) * sectors), part.sectors,
                    part.selection.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(bank) * part.sectors));
    return part;
}

void CEraseMap::TakeSelection(const CEraseMap& part)
{
    const int commonBanks = std::min(banks, part.banks);
    const int commonSectors = std::min(sectors, part.sectors);
    for (int bank = 0; bank < commonBanks; ++bank)
        std::copy_n(part.selection.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(bank) * part.sectors),
                    commonSectors,
                    selection.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(bank) * sectors));
    if (part.modified)
        modified = 1;
}

bool CEraseMap::SetSelection(std::string_view text, std::string& error)
{
    std::vector<std::pair<int, int>> pairs;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view item = Trim(text.substr(start, end - start));
        start = end + 1;
        if (item.empty()) {
            error = "an empty entry in the sector list (expected bank/sector, e.g. 0/3)";
            return false;
        }
        const size_t slash = item.find('/');
        int bank = 0, sector = 0;
        if (slash == std::string_view::npos || !ParseSmallDecimal(Trim(item.substr(0, slash)), bank) ||
            !ParseSmallDecimal(Trim(item.substr(slash + 1)), sector)) {
            error = Format("\"%s\" is not a bank/sector pair (e.g. 0/3)", std::string(item).c_str());
            return false;
        }
        if (!Inside(bank, sector)) {
            error = Format("sector %d/%d lies outside the erase map (%d bank%s of %d sectors)", bank, sector, banks,
                           banks == 1 ? "" : "s", sectors);
            return false;
        }
        pairs.emplace_back(bank, sector);
    }
    ClearAll();
    for (const auto& [bank, sector] : pairs)
        SelectSector(bank, sector, 1);
    return true;
}

std::string CEraseMap::FormatSelection() const
{
    std::string text;
    for (int bank = 0; bank < banks; ++bank) {
        for (int sector = 0; sector < sectors; ++sector) {
            if (!IsSectorSelected(bank, sector))
                continue;
            if (!text.empty())
                text += ", ";
            text += Format("%i/%i", bank, sector);
        }
    }
    return text;
}

void CEraseMap::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(selection.size());
        ar.WriteBytes(selection.data(), selection.size());
        ar.WriteU16(static_cast<uint16_t>(banks));
        ar.WriteU16(static_cast<uint16_t>(sectors));
        modified = 0;
        return;
    }
    const uint32_t length = ar.ReadCount();
    std::vector<uint8_t> bytes = ar.ReadByteVector(length);
    const uint16_t readBanks = ar.ReadU16();
    const uint16_t readSectors = ar.ReadU16();
    if (!ar.Ok())
        return;
    if (uint64_t{readBanks} * readSectors != bytes.size()) {
        ar.Fail(EArchiveError::BadData, Format("an erase map of %u bytes for %u banks of %u sectors",
                                               static_cast<unsigned>(bytes.size()), readBanks, readSectors));
        return;
    }
    selection = std::move(bytes);
    banks = readBanks;
    sectors = readSectors;
    modified = 0;
}
