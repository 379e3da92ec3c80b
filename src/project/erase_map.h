#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CArchive;

// Which sectors of which bank to erase when not the whole flash array is to be
// erased. The selection holds one byte per (bank, sector), at
// bank * sectors + sector: 1 selected, 0 not (other values, which only a
// damaged file could hold, count as not selected and are kept as they are).
// Every change of the selection sets the modified flag; writing or reading the
// map clears it.
class CEraseMap {
public:
    // Dimensions the project file can hold: 16 bits each.
    static constexpr int kMaxDimension = 0xFFFF;

    // Unchanged dimensions keep the selection; any change sets them and
    // clears the selection (modified set). Dimensions outside 0..0xFFFF are
    // refused: false, nothing changed.
    bool Resize(int banks, int sectors);
    void GetSize(int& banks, int& sectors) const;
    int GetBanks() const { return banks; }
    int GetSectors() const { return sectors; }

    // Selects (flag nonzero) or deselects one sector and sets the modified
    // flag; positions outside the dimensions are ignored.
    void SelectSector(int bank, int sector, int flag);
    // True only inside the dimensions for a byte of 1.
    bool IsSectorSelected(int bank, int sector) const;
    // Deselects everything; modified set.
    void ClearAll();
    int CountSelected() const;

    bool IsModified() const { return modified != 0; }
    void ClearModified() { modified = 0; }

    // Makes the selection exactly the listed sectors. `text` is a comma
    // separated list of bank/sector pairs in decimal ("0/1,0/2, 1/0"); every
    // pair must lie inside the dimensions. On a bad list: false, `error` says
    // why and the map is unchanged.
    bool SetSelection(std::string_view text, std::string& error);
    // The selected sectors as "bank/sector" pairs separated by ", ", banks and
    // sectors ascending; empty when nothing is selected.
    std::string FormatSelection() const;

    // A copy that holds only the part of this map inside `maxBanks` x
    // `maxSectors` (each dimension the smaller of the two; a negative limit
    // counts as 0), bytes as they are, its modified flag clear: the map as a
    // project of that many banks of a device of that many sectors uses it. A
    // map read from a file may be wider than the project it came with; the
    // part beyond is kept in the map but never shown, counted or erased.
    CEraseMap Clipped(int maxBanks, int maxSectors) const;
    // Writes the selection of `part` (a Clipped copy, perhaps changed since)
    // into the positions this map shares with it; the others keep their
    // bytes. The modified flag is set when `part`'s was.
    void TakeSelection(const CEraseMap& part);

    // The project file form: the selection as a byte array (count, then the
    // bytes), then banks and sectors as 16-bit numbers. Reading refuses a byte
    // array whose length is not banks * sectors (BadData) and leaves the map
    // unchanged on any error.
    void Serialize(CArchive& ar);

private:
    bool Inside(int bank, int sector) const { return bank >= 0 && sector >= 0 && bank < banks && sector < sectors; }

    int modified = 0;
    int banks = 0;
    int sectors = 0;
    std::vector<uint8_t> selection;
};
