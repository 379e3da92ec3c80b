#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

// The project file's archive: a stream of little-endian numbers, strings and
// tagged objects in the desktop framework's archive encoding, so that project
// files stay byte-compatible with the ones the program always wrote.
//
// Encoding, byte for byte:
//   u8 / u16 / u32   little-endian. 16-bit fields are written from the low 16
//                    bits of the member and read back without sign extension.
//   string           length < 255:     one length byte, then the bytes;
//                    length < 0xFFFE:  0xFF, u16 length, then the bytes;
//                    otherwise:        0xFF, u16 0xFFFF, u32 length, the bytes.
//                    Single-byte characters, no terminator. On reading, 0xFF
//                    followed by u16 0xFFFE marks a wide-character string,
//                    which project files never hold: it is refused (BadString).
//   count            count < 0xFFFF: u16; otherwise u16 0xFFFF, then u32.
//   tagged object    a u16 tag, in one of these forms:
//                      0x0000            the null object
//                      0xFFFF            new class: u16 schema, u16 name
//                                        length, the name's bytes; the
//                                        object's body follows
//                      0x8000 | c        class reference (c < 0x7FFF): a new
//                                        object of the class with index c; the
//                                        body follows
//                      n (1..0x7FFE)     reference to the object with index n
//                                        written earlier; no body
//                      0x7FFF, then u32  the same two references for indexes of
//                                        0x7FFF and above: 0x80000000 | c for a
//                                        class, n for an object
//   running index    one index for the whole file, shared by classes and
//                    objects: it starts at 1 (0 is the null reference); a class
//                    takes the next index when its new-class tag is written,
//                    then each new object takes the next index when its tag is
//                    written (before its body).
//
// Errors: reading never trusts a length or count beyond the bytes that remain.
// The first error puts the archive into a sticky failed state: it is recorded
// with its kind, the byte offset and a description, every later read returns
// 0 or empty without consuming anything, and the Exchange helpers leave their
// fields unchanged. Nothing throws. Writing goes to a memory buffer; the caller
// writes that to a temporary file and renames it over the target.
enum class EArchiveError {
    None,
    EndOfData,      // a read went past the end, or a length/count exceeds what remains
    BadString,      // a string form that project files never hold
    BadClass,       // a tagged object of an unexpected or unknown class
    BadSchema,      // a known class with another schema number
    BadIndex,       // a reference to an index that holds no object (or no class) of the file
    BadData,        // a value that an object's body rules out (reported by the object)
    WrongDirection, // a read on a storing archive or a write on a loading one
    TooLarge,       // a string or count that the format cannot hold (over 32 bits), or object
                    // references that would copy more than the file's own size
};

class CArchive {
public:
    // A serializable class as it appears in a new-class tag.
    struct CClassInfo {
        const char* name;
        uint16_t schema;
    };

    enum class EObjectTag {
        Error,     // the archive has failed (see GetError)
        Null,      // the null tag: an empty slot
        New,       // a new object: its body follows and must be read next
        Reference, // an object read earlier: GetBoundObject gives it
    };

    // A storing archive that writes into its own buffer.
    CArchive();
    // A loading archive over `data`, which must outlive the archive.
    explicit CArchive(std::span<const uint8_t> data);
    // Refused: the archive would keep a view of a temporary buffer.
    explicit CArchive(std::vector<uint8_t>&&) = delete;

    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return storing; }
    bool IsLoading() const { return !storing; }

    bool Ok() const { return error == EArchiveError::None; }
    EArchiveError GetError() const { return error; }
    size_t GetErrorOffset() const { return errorOffset; }
    // A description of the first error for the person, e.g.
    // "the file ends early (at byte 57)"; empty while Ok().
    const std::string& GetErrorText() const { return errorText; }
    // Records an error found by an object's own checks (BadData, usually).
    // Only the first error is kept.
    void Fail(EArchiveError kind, const std::string& description);

    // --- storing ---
    const std::vector<uint8_t>& GetBuffer() const { return buffer; }
    std::vector<uint8_t> TakeBuffer() { return std::move(buffer); }

    void WriteU8(uint8_t v);
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteBytes(const void* data, size_t n);
    void WriteString(std::string_view s);
    void WriteCount(size_t n);
    // Writes the tag of `object` as an object of class `cls`: the null tag for
    // nullptr, a reference when this same object was written before through
    // this archive, otherwise the class tag (new-class tag the first time) and
    // a new object index. Returns true when the caller must write the object's
    // body next. Object identity is the address, so every object written must
    // stay alive while the archive is in use.
    bool WriteObjectTag(const CClassInfo& cls, const void* object);

    // --- loading ---
    size_t GetPosition() const { return pos; }
    size_t GetRemaining() const { return data.size() - pos; }

    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    // Fills `out` with n bytes; false (EndOfData) when fewer remain.
    bool ReadBytes(void* out, size_t n);
    // n bytes into a vector; the vector is sized only after n is known to remain.
    std::vector<uint8_t> ReadByteVector(size_t n);
    std::string ReadString();
    uint32_t ReadCount();
    // Fails with EndOfData when `count` elements of at least `minBytesEach`
    // bytes cannot fit into what remains; call before looping over a count.
    bool CheckCount(uint64_t count, size_t minBytesEach);
    // Reads the tag of an object that must be of class `cls`. New: `index` is
    // the new object's index; bind the object to it (BindObject) before reading
    // its body. Reference: `index` names an object of class `cls` read earlier.
    // A class or object of another class, an unknown index, another schema:
    // Error, with the archive failed.
    EObjectTag ReadObjectTag(const CClassInfo& cls, uint32_t& index);
    void BindObject(uint32_t index, const void* object);
    // Accounts for `bytes` copied from an object read earlier, for an owner
    // that reads a reference as a copy. Every copy made through references
    // together may take no more than the file's own size, so a file of 2-byte
    // references to one long object cannot grow into memory the file never
    // held: past that, TooLarge and false.
    bool ChargeCopy(size_t bytes);
    // The object bound to `index`, or nullptr (none bound, or the archive failed).
    const void* GetBoundObject(uint32_t index) const;

    // --- both directions, for Serialize ---
    // Storing writes the field; loading reads it and assigns it only when the
    // read succeeded. Exchange16 writes the low 16 bits and reads back without
    // sign extension; Exchange8 likewise with 8 bits.
    template <class T> void Exchange8(T& v)
    {
        static_assert(std::is_integral_v<T>);
        if (storing) {
            WriteU8(static_cast<uint8_t>(v));
        } else {
            const uint8_t x = ReadU8();
            if (Ok())
                v = static_cast<T>(x);
        }
    }
    template <class T> void Exchange16(T& v)
    {
        static_assert(std::is_integral_v<T>);
        if (storing) {
            WriteU16(static_cast<uint16_t>(v));
        } else {
            const uint16_t x = ReadU16();
            if (Ok())
                v = static_cast<T>(x);
        }
    }
    template <class T> void Exchange32(T& v)
    {
        static_assert(std::is_integral_v<T>);
        if (storing) {
            WriteU32(static_cast<uint32_t>(v));
        } else {
            const uint32_t x = ReadU32();
            if (Ok())
                v = static_cast<T>(x);
        }
    }
    void ExchangeString(std::string& s);

private:
    struct CMapEntry {
        bool isClass = false;
        uint32_t classIndex = 0;  // an object's class; a class's own index
        std::string name;         // a class's name
        const void* object = nullptr;
    };

    bool CanRead();
    bool CanWrite();
    bool Take(size_t n); // checks that n bytes remain and records EndOfData if not
    void WriteIndexReference(uint32_t index, uint32_t classFlag);

    bool storing;
    EArchiveError error = EArchiveError::None;
    size_t errorOffset = 0;
    std::string errorText;

    // storing
    std::vector<uint8_t> buffer;
    uint32_t mapCount = 1;
    std::unordered_map<std::string, uint32_t> writtenClasses;
    std::unordered_map<const void*, uint32_t> writtenObjects;

    // loading
    std::span<const uint8_t> data;
    size_t pos = 0;
    std::vector<CMapEntry> loaded; // index 0 is the null reference
    size_t copiedBytes = 0;        // what ChargeCopy has accounted for
};
