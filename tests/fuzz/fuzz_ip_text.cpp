// IP address texts: a text that reads as an address is written back in the
// same form and reads as the same value.
#include "probe/ip_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const uint32_t value = CIpText::Value(text);
    if (value == CIpText::kInvalid)
        return 0;
    if (value == 0)
        std::abort(); // 0.0.0.0 is no address
    const std::string back = std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
                             std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF);
    if (CIpText::Value(back) != value)
        std::abort();
    return 0;
}
