#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Big-endian payload fields of link packets: a writer that appends and a
// reader that never reads past the end (a short payload makes it fail and
// every later read gives 0).

class CWireWriter {
public:
    CWireWriter& U8(uint8_t v);
    CWireWriter& U16(uint16_t v);
    CWireWriter& U32(uint32_t v);
    CWireWriter& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    CWireWriter& Bytes(const uint8_t* data, size_t length);
    // u8 length and the characters (at most 255).
    CWireWriter& Text8(const std::string& text);

    std::vector<uint8_t> bytes;
};

class CWireReader {
public:
    CWireReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    explicit CWireReader(const std::vector<uint8_t>& bytes) : CWireReader(bytes.data(), bytes.size()) {}

    uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    // Points at the next `length` bytes and moves past them; null when fewer remain.
    const uint8_t* Bytes(size_t length)
    {
        if (!ok_ || length > Remaining()) {
            ok_ = false;
            return nullptr;
        }
        const uint8_t* p = data_ + pos_;
        pos_ += length;
        return p;
    }
    std::string Text8()
    {
        const size_t n = U8();
        const uint8_t* p = Bytes(n);
        return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
    }

    size_t Remaining() const { return ok_ ? length_ - pos_ : 0; }
    bool Ok() const { return ok_; }
    // True when every read succeeded and nothing is left over.
    bool Done() const { return ok_ && pos_ == length_; }

private:
    uint64_t Take(size_t n)
    {
        const uint8_t* p = Bytes(n);
        uint64_t v = 0;
        if (p) {
            for (size_t i = 0; i < n; ++i)
                v = (v << 8) | p[i];
        }
        return v;
    }

    const uint8_t* data_;
    size_t length_;
    size_t pos_ = 0;
    bool ok_ = true;
};
