#include "files/plain_text.h"

#include "common/unique_fd.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Bytes still expected of the UTF-8 sequence that `lead` opens: 0 for
// ASCII, -1 when `lead` cannot open one.
int ContinuationBytes(uint8_t lead)
{
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 3;
    return -1;
}

bool IsTextAscii(uint8_t c)
{
    return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

EFileText ClassifyFileText(const std::string& fileName)
{
    CUniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return EFileText::Unreadable;
    uint8_t buffer[64 * 1024];
    uint64_t total = 0;
    int pending = 0; // continuation bytes still due
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return EFileText::Unreadable;
        if (n == 0)
            break;
        total += static_cast<uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) {
            const uint8_t c = buffer[i];
            if (pending > 0) {
                if ((c & 0xC0) != 0x80)
                    return EFileText::Binary;
                --pending;
            } else if (c >= 0x80) {
                pending = ContinuationBytes(c);
                if (pending < 0)
                    return EFileText::Binary;
            } else if (!IsTextAscii(c)) {
                return EFileText::Binary;
            }
        }
    }
    if (total == 0)
        return EFileText::Empty;
    return pending == 0 ? EFileText::Text : EFileText::Binary;
}
