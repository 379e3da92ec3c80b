#include "project/archive.h"

#include "common/text_format.h"

#include <cstring>

namespace {

constexpr uint16_t kNullTag = 0x0000;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint32_t kBigClassTag = 0x80000000u;

constexpr uint16_t kWideStringMark = 0xFFFE;

} // namespace

CArchive::CArchive() : storing(true) {}

CArchive::CArchive(std::span<const uint8_t> bytes) : storing(false), data(bytes)
{
    loaded.emplace_back(); // index 0: the null reference
}

void CArchive::Fail(EArchiveError kind, const std::string& description)
{
    if (error != EArchiveError::None || kind == EArchiveError::None)
        return;
    error = kind;
    errorOffset = storing ? buffer.size() : pos;
    errorText = description + Format(" (at byte %zu)", errorOffset);
}

bool CArchive::CanRead()
{
    if (!Ok())
        return false;
    if (storing) {
        Fail(EArchiveError::WrongDirection, "a read on an archive that is being written");
        return false;
    }
    return true;
}

bool CArchive::CanWrite()
{
    if (!Ok())
        return false;
    if (!storing) {
        Fail(EArchiveError::WrongDirection, "a write on an archive that is being read");
        return false;
    }
    return true;
}

bool CArchive::Take(size_t n)
{
    if (n > GetRemaining()) {
        Fail(EArchiveError::EndOfData, "the file ends early");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- storing

void CArchive::WriteU8(uint8_t v)
{
    if (CanWrite())
        buffer.push_back(v);
}

void CArchive::WriteU16(uint16_t v)
{
    if (CanWrite()) {
        buffer.push_back(static_cast<uint8_t>(v));
        buffer.push_back(static_cast<uint8_t>(v >> 8));
    }
}

void CArchive::WriteU32(uint32_t v)
{
    if (CanWrite()) {
        for (int shift = 0; shift < 32; shift += 8)
            buffer.push_back(static_cast<uint8_t>(v >> shift));
    }
}

void CArchive::WriteBytes(const void* bytes, size_t n)
{
    if (CanWrite() && n > 0) {
        const auto* p = static_cast<const uint8_t*>(bytes);
        buffer.insert(buffer.end(), p, p + n);
    }
}

void CArchive::WriteString(std::string_view s)
{
    if (!CanWrite())
        return;
    const size_t n = s.size();
    if (n > 0xFFFFFFFFu) {
        Fail(EArchiveError::TooLarge, "a text longer than 4 GiB");
        return;
    }
    if (n < 0xFF) {
        WriteU8(static_cast<uint8_t>(n));
    } else {
        WriteU8(0xFF);
        if (n < kWideStringMark) {
            WriteU16(static_cast<uint16_t>(n));
        } else {
            WriteU16(0xFFFF);
            WriteU32(static_cast<uint32_t>(n));
        }
    }
    WriteBytes(s.data(), n);
}

void CArchive::WriteCount(size_t n)
{
    if (!CanWrite())
        return;
    if (n > 0xFFFFFFFFu) {
        Fail(EArchiveError::TooLarge, "a count above 0xFFFFFFFF");
        return;
    }
    if (n < 0xFFFF) {
        WriteU16(static_cast<uint16_t>(n));
    } else {
        WriteU16(0xFFFF);
        WriteU32(static_cast<uint32_t>(n));
    }
}

void CArchive::WriteIndexReference(uint32_t index, uint32_t classFlag)
{
    if (index < kBigObjectTag) {
        WriteU16(static_cast<uint16_t>(index | (classFlag ? kClassTag : 0)));
    } else {
        WriteU16(kBigObjectTag);
        WriteU32(index | classFlag);
    }
}

bool CArchive::WriteObjectTag(const CClassInfo& cls, const void* object)
{
    if (!CanWrite())
        return false;
    if (object == nullptr) {
        WriteU16(kNullTag);
        return false;
    }
    if (const auto seen = writtenObjects.find(object); seen != writtenObjects.end()) {
        WriteIndexReference(seen->second, 0);
        return false;
    }
    if (mapCount >= kBigClassTag - 1) {
        Fail(EArchiveError::TooLarge, "more objects than the format can index");
        return false;
    }
    const std::string name(cls.name);
    if (const auto known = writtenClasses.find(name); known != writtenClasses.end()) {
        WriteIndexReference(known->second, kBigClassTag);
    } else {
        WriteU16(kNewClassTag);
        WriteU16(cls.schema);
        WriteU16(static_cast<uint16_t>(name.size()));
        WriteBytes(name.data(), name.size());
        writtenClasses.emplace(name, mapCount++);
    }
    writtenObjects.emplace(object, mapCount++);
    return Ok();
}

// ---------------------------------------------------------------- loading

uint8_t CArchive::ReadU8()
{
    if (!CanRead() || !Take(1))
        return 0;
    return data[pos++];
}

uint16_t CArchive::ReadU16()
{
    if (!CanRead() || !Take(2))
        return 0;
    const uint16_t v = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
    pos += 2;
    return v;
}

uint32_t CArchive::ReadU32()
{
    if (!CanRead() || !Take(4))
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | data[pos + i];
    pos += 4;
    return v;
}

bool CArchive::ReadBytes(void* out, size_t n)
{
    if (!CanRead() || !Take(n))
        return false;
    if (n > 0)
        std::memcpy(out, data.data() + pos, n);
    pos += n;
    return true;
}

std::vector<uint8_t> CArchive::ReadByteVector(size_t n)
{
    if (!CanRead() || !Take(n))
        return {};
    std::vector<uint8_t> out(data.begin() + pos, data.begin() + pos + n);
    pos += n;
    return out;
}

std::string CArchive::ReadString()
{
    if (!CanRead())
        return {};
    const size_t start = pos;
    size_t n = ReadU8();
    if (n == 0xFF) {
        n = ReadU16();
        if (n == kWideStringMark) {
            pos = start;
            Fail(EArchiveError::BadString, "a wide-character text, which project files never hold");
            return {};
        }
        if (n == 0xFFFF)
            n = ReadU32();
    }
    if (!Ok() || !Take(n))
        return {};
    std::string s(reinterpret_cast<const char*>(data.data() + pos), n);
    pos += n;
    return s;
}

uint32_t CArchive::ReadCount()
{
    const uint16_t shortCount = ReadU16();
    if (shortCount != 0xFFFF)
        return shortCount;
    return ReadU32();
}

bool CArchive::CheckCount(uint64_t count, size_t minBytesEach)
{
    if (!CanRead())
        return false;
    if (minBytesEach > 0 && count > GetRemaining() / minBytesEach) {
        Fail(EArchiveError::EndOfData, Format("a count of %llu that the rest of the file cannot hold",
                                              static_cast<unsigned long long>(count)));
        return false;
    }
    return true;
}

CArchive::EObjectTag CArchive::ReadObjectTag(const CClassInfo& cls, uint32_t& index)
{
    index = 0;
    if (!CanRead())
        return EObjectTag::Error;
    const size_t tagOffset = pos;
    const uint16_t shortTag = ReadU16();
    if (!Ok())
        return EObjectTag::Error;

    auto fail = [&](EArchiveError kind, const std::string& what) {
        pos = tagOffset;
        Fail(kind, what);
        return EObjectTag::Error;
    };

    uint32_t classIndex = 0;
    if (shortTag == kNewClassTag) {
        const uint16_t schema = ReadU16();
        const uint16_t nameLength = ReadU16();
        if (!Ok() || !Take(nameLength))
            return EObjectTag::Error;
        const std::string name(reinterpret_cast<const char*>(data.data() + pos), nameLength);
        pos += nameLength;
        if (name != cls.name)
            return fail(EArchiveError::BadClass,
                        Format("an object of class \"%s\" where \"%s\" belongs", name.c_str(), cls.name));
        if (schema != cls.schema)
            return fail(EArchiveError::BadSchema,
                        Format("class \"%s\" with schema %u, expected %u", name.c_str(), schema, cls.schema));
        classIndex = static_cast<uint32_t>(loaded.size());
        CMapEntry entry;
        entry.isClass = true;
        entry.classIndex = classIndex;
        entry.name = name;
        loaded.push_back(std::move(entry));
    } else {
        uint32_t tag;
        if (shortTag == kBigObjectTag) {
            tag = ReadU32();
            if (!Ok())
                return EObjectTag::Error;
        } else {
            tag = (static_cast<uint32_t>(shortTag & kClassTag) << 16) | (shortTag & ~kClassTag);
        }
        if ((tag & kBigClassTag) == 0) {
            // A reference to an object read earlier, or the null object.
            if (tag == 0)
                return EObjectTag::Null;
            if (tag >= loaded.size() || loaded[tag].isClass)
                return fail(EArchiveError::BadIndex, Format("a reference to object %u, which the file does not "
                                                            "hold at that point",
                                                            tag));
            const CMapEntry& objectClass = loaded[loaded[tag].classIndex];
            if (objectClass.name != cls.name)
                return fail(EArchiveError::BadClass, Format("a reference to an object of class \"%s\" where "
                                                            "\"%s\" belongs",
                                                            objectClass.name.c_str(), cls.name));
            index = tag;
            return EObjectTag::Reference;
        }
        classIndex = tag & ~kBigClassTag;
        if (classIndex == 0 || classIndex >= loaded.size() || !loaded[classIndex].isClass)
            return fail(EArchiveError::BadIndex,
                        Format("a reference to class %u, which the file does not hold at that point", classIndex));
        if (loaded[classIndex].name != cls.name)
            return fail(EArchiveError::BadClass, Format("an object of class \"%s\" where \"%s\" belongs",
                                                        loaded[classIndex].name.c_str(), cls.name));
    }
    index = static_cast<uint32_t>(loaded.size());
    CMapEntry entry;
    entry.classIndex = classIndex;
    loaded.push_back(std::move(entry));
    return EObjectTag::New;
}

void CArchive::BindObject(uint32_t index, const void* object)
{
    if (!storing && index > 0 && index < loaded.size() && !loaded[index].isClass)
        loaded[index].object = object;
}

bool CArchive::ChargeCopy(size_t bytes)
{
    if (!CanRead())
        return false;
    if (bytes > data.size() - copiedBytes) {
        Fail(EArchiveError::TooLarge, Format("object references that would copy more than the file's own %zu bytes",
                                             data.size()));
        return false;
    }
    copiedBytes += bytes;
    return true;
}

const void* CArchive::GetBoundObject(uint32_t index) const
{
    if (!Ok() || storing || index == 0 || index >= loaded.size() || loaded[index].isClass)
        return nullptr;
    return loaded[index].object;
}

// ---------------------------------------------------------------- both

void CArchive::ExchangeString(std::string& s)
{
    if (storing) {
        WriteString(s);
    } else {
        std::string read = ReadString();
        if (Ok())
            s = std::move(read);
    }
}
