#include "project/memory_range.h"

#include "common/message_box.h"
#include "common/text_format.h"
#include "project/archive.h"

uint32_t CMemoryRange::Clip(uint32_t s, uint32_t n)
{
    const uint64_t room = 0x100000000ull - s;
    return n > room ? static_cast<uint32_t>(room) : n;
}

void CMemoryRange::Set(uint32_t s, uint32_t second, int mode)
{
    start = s;
    lengthMode = mode;
    if (mode == 0)
        size = second >= s ? second - s + 1 : 0;
    else
        size = Clip(s, second);
}

void CMemoryRange::SetStart(uint32_t a)
{
    start = a;
    size = Clip(a, size);
}

void CMemoryRange::SetSize(uint32_t n)
{
    size = Clip(start, n);
    lengthMode = 1;
}

bool CMemoryRange::CheckInside(const CMemoryRange& physical, const std::string& prefix, CMessageBox* owner) const
{
    // Both sums in 32-bit arithmetic, as the range checks always were.
    const uint32_t last = start + size - 1;
    const uint32_t physLast = physical.start + physical.size - 1;
    const bool inside = start >= physical.start && last <= physLast;
    if (!inside && owner) {
        const std::string lead = prefix.empty() ? std::string("Out") : prefix + "out";
        owner->Show(Format("%s of physical memory range !\n (Base: %08lX, Size: %08lx)", lead.c_str(),
                           static_cast<unsigned long>(physical.start), static_cast<unsigned long>(physical.size)),
                    "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
    }
    return inside;
}

bool CMemoryRange::ValidateRange(uint32_t s, uint32_t second, int mode, CMessageBox* owner)
{
    const char* error = nullptr;
    if (mode != 0) {
        if (second == 0)
            error = "Code size is 0 !";
        else if (static_cast<uint64_t>(s) + second - 1 > 0xFFFFFFFFull)
            error = "Out of maximum memory address !\n (Endaddress > 0xFFFFFFFF)";
    } else if (s > second) {
        error = "Start address should not be greater than end address !";
    }
    if (error && owner)
        owner->Show(error, "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
    return error == nullptr;
}

bool CMemoryRange::Overlaps(const CMemoryRange& other) const
{
    // Widened to 64 bits: a range that ends at 0xFFFFFFFF would otherwise wrap
    // its end to 0 and never overlap anything.
    return uint64_t{other.start} < uint64_t{start} + size && uint64_t{start} < uint64_t{other.start} + other.size;
}

void CMemoryRange::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteU32(start);
        ar.WriteU32(size);
        ar.WriteU16(static_cast<uint16_t>(lengthMode));
        return;
    }
    const uint32_t s = ar.ReadU32();
    const uint32_t n = ar.ReadU32();
    const uint16_t mode = ar.ReadU16();
    if (!ar.Ok())
        return;
    start = s;
    size = Clip(s, n);
    lengthMode = mode;
}
