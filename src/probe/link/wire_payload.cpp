#include "probe/link/wire_payload.h"

// Out of line on purpose: inlined into callers that build small vectors,
// GCC 12 reports false buffer overflows (-Wstringop-overflow) at -O3.

CWireWriter& CWireWriter::U8(uint8_t v)
{
    bytes.push_back(v);
    return *this;
}

CWireWriter& CWireWriter::U16(uint16_t v)
{
    const uint8_t be[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    return Bytes(be, 2);
}

CWireWriter& CWireWriter::U32(uint32_t v)
{
    const uint8_t be[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                           static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    return Bytes(be, 4);
}

CWireWriter& CWireWriter::Bytes(const uint8_t* data, size_t length)
{
    if (length > 0)
        bytes.insert(bytes.end(), data, data + length);
    return *this;
}

CWireWriter& CWireWriter::Text8(const std::string& text)
{
    const size_t n = text.size() > 255 ? 255 : text.size();
    U8(static_cast<uint8_t>(n));
    return Bytes(reinterpret_cast<const uint8_t*>(text.data()), n);
}
