// The program file readers (ELF included), each on the same bytes as a file, as the load
// sequence tries them: every reader ends with one of its results, and the
// bytes it counts as loaded never exceed what the file could hold.
#include "files/program_file_readers.h"
#include "project/memory_image.h"
#include "project/memory_range.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

using ReaderFn = int (*)(const std::string&, CMemoryImage&, uint32_t&, CMemoryRange&, const CMemoryRange&, uint32_t,
                         SLoadReport*);

const ReaderFn kReaders[] = {LoadElfFile, LoadAbsFile, LoadSRecordFile, LoadIntelHexFile, LoadBinaryFile};

std::string InputPath()
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/tarvel-fuzz-program-file." + std::to_string(getpid());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = InputPath();
    static CMemoryImage image(64 * 1024); // a small cache: each input is a few KiB
    static bool opened = image.Open(0) == 0;
    if (!opened)
        std::abort();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();

    CMemoryRange physical;
    physical.Set(0, 0x0FFFFFFF, 0);
    for (const ReaderFn reader : kReaders) {
        image.Clear();
        uint32_t loaded = 0;
        CMemoryRange fileRange;
        SLoadReport report;
        const int result = reader(path, image, loaded, fileRange, physical, 0x100, &report);
        if (result < kLoadOk || result > kLoadRefused || result == kLoadCannotOpen)
            std::abort();
        // No format but ELF (whose segments may be longer in memory than in
        // the file) delivers more data bytes than the file holds.
        if (reader != LoadElfFile && result != kLoadNotFormat && loaded > size)
            std::abort();
    }
    return 0;
}
