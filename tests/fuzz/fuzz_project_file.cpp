// The project file reader: any bytes either read as a project, which saves
// back and reads again to the same bytes, or fail with a description.
#include "project/qpg_doc.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CQpgDoc doc(false);
    std::string error;
    if (!doc.ReadFromBytes(std::span<const uint8_t>(data, size), error)) {
        if (error.empty())
            std::abort(); // a failed read always says why
        return 0;
    }
    const std::vector<uint8_t> saved = doc.SaveToBytes();
    static CQpgDoc again(false);
    if (!again.ReadFromBytes(saved, error) || again.SaveToBytes() != saved)
        std::abort(); // what was saved must read back to the same bytes
    return 0;
}
