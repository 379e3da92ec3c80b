#pragma once

#include <cstdint>
#include <string>

class CArchive;
class CMessageBox;

// An address range: start, size (0 is empty) and the way it was entered
// (lengthMode 1: start and length, 0: start and end address). The range never
// passes 0xFFFFFFFF: every setter clips the size instead.
class CMemoryRange {
public:
    CMemoryRange() = default;
    CMemoryRange(uint32_t start, uint32_t second, int lengthMode) { Set(start, second, lengthMode); }

    // lengthMode 0: second is the end address (size 0 when it lies below start,
    // and 0 for 0..0xFFFFFFFF, the size being a 32-bit count); otherwise second
    // is the length, clipped at the top of the address space.
    void Set(uint32_t start, uint32_t second, int lengthMode);
    void SetStart(uint32_t a);
    void SetSize(uint32_t n);

    uint32_t GetStart() const { return start; }
    uint32_t GetSize() const { return size; }
    bool IsLengthMode() const { return lengthMode != 0; }
    uint32_t GetEnd() const { return size == 0 ? 0 : start + size - 1; }

    // True when this range lies inside `physical`. With an owner, a failure is
    // shown as an "Invalid Input" warning whose text begins with `prefix`.
    bool CheckInside(const CMemoryRange& physical, const std::string& prefix, CMessageBox* owner) const;
    // Checks dialog input before it is put into a range; with an owner, shows why not.
    static bool ValidateRange(uint32_t start, uint32_t second, int lengthMode, CMessageBox* owner);
    bool Overlaps(const CMemoryRange& other) const;

    // The range inside the project file: start (4 bytes), size (4 bytes) and
    // lengthMode (2 bytes, widened without sign on reading). A read that fails
    // leaves the range unchanged; a size read from the file is clipped like
    // every setter clips it, so a damaged file cannot pass 0xFFFFFFFF.
    void Serialize(CArchive& ar);

    bool operator==(const CMemoryRange&) const = default;

    uint32_t start = 0;
    uint32_t size = 0;
    int lengthMode = 1;

private:
    static uint32_t Clip(uint32_t start, uint32_t size);
};
