#pragma once

#include "project/code_item.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CArchive;

// An init list: an ordered array of entries that the list owns. A slot may be
// empty (a null object in the project file); empty slots are kept so that a
// file reads back and writes out unchanged, and are skipped by everything that
// shows or runs the list. Copying a list copies its entries.
class CCodeList {
public:
    CCodeList() = default;
    CCodeList(const CCodeList& other);
    CCodeList& operator=(const CCodeList& other);
    CCodeList(CCodeList&&) noexcept = default;
    CCodeList& operator=(CCodeList&&) noexcept = default;

    size_t GetCount() const { return items.size(); }
    void Add(const CCodeItem& item) { items.push_back(std::make_unique<CCodeItem>(item)); }
    void Add(std::unique_ptr<CCodeItem> item) { items.push_back(std::move(item)); }
    // The entry at `index`; nullptr for an empty slot or an index past the end.
    CCodeItem* GetAt(size_t index);
    const CCodeItem* GetAt(size_t index) const;
    // Deletes every entry and empties the array.
    void DeleteAll() { items.clear(); }

    // True and the entry's fields; false with all three 0 for an empty slot
    // or an index past the end.
    bool GetItemFields(size_t index, int& code, uint32_t& address, uint32_t& value) const;
    // True and the entry's display line; false and an empty line likewise.
    bool GetItemDisplayLine(size_t index, std::string& line) const;

    // The list as text: the display line of every entry (empty slots skipped),
    // each followed by a line feed. ParseLines reads it back.
    std::string ToLines() const;
    // Replaces the list by the entries of `text`, one display line per line
    // (line feed or carriage return and line feed; blank lines are skipped),
    // each read with the strict line parse. On any bad line the list is left
    // unchanged, false is returned and `errors` holds one "line N: reason" per
    // bad line, separated by line feeds.
    bool ParseLines(std::string_view text, std::string& errors);

    // The project file form: the entry count, then each entry as a tagged
    // object of class CCodeItem (an empty slot as the null tag). A read that
    // fails leaves the list unchanged. A reference to an entry read earlier in
    // the file is read as a copy of that entry, since a list owns its entries.
    void Serialize(CArchive& ar);

    // Equal when both hold the same slots with the same entry texts.
    bool operator==(const CCodeList& other) const;

private:
    std::vector<std::unique_ptr<CCodeItem>> items;
};
