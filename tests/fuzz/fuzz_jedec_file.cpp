// JEDEC fuse files: read whole, or refused with the row and line at fault.
#include "probe/maintenance/jedec_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CJedecFile file;
    CJedecFile::FuseMap map;
    const CJedecFile::EResult result = file.ReadText(std::string(reinterpret_cast<const char*>(data), size), map);
    if (result == CJedecFile::EResult::Ok) {
        for (const std::string& row : map)
            if (row.size() != CJedecFile::kRowFuses || row.find_first_not_of("01") != std::string::npos)
                std::abort();
    } else if (file.detail.empty()) {
        std::abort();
    }
    return 0;
}
