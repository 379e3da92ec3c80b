#include "flash/transfer.h"

#include "common/text_format.h"
#include "probe/probe_status.h"
#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "catalogue/flash_catalogue.h"
#include "flash/progress_update.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kVerifyAlgorithm = 1;
constexpr uint32_t kPageWriteSize = 256;

uint64_t Elapsed(CClock& clock, uint64_t startMs)
{
    const uint64_t elapsed = clock.NowMs() - startMs;
    return elapsed == 0 ? 1 : elapsed;
}

unsigned long Ul(uint64_t v)
{
    return static_cast<unsigned long>(v);
}

} // namespace

uint32_t CTransfer::BlockSize(const SProgramTarget& target)
{
    if (CFlashAlgorithms::Find(target.programAlgorithm).smallBlocks)
        return kSmallBlockSize;
    if (target.pageSize == 0)
        return kBlockSize;
    if (target.deviceWidth == 0)
        return 0;
    return target.pageSize * target.busWidthBytes / target.deviceWidth;
}

uint32_t CTransfer::FirstBlockLength(uint32_t start, uint32_t size, uint32_t flashBase, uint32_t blockSize)
{
    // Unsigned arithmetic: a start below the base still lands on the base's
    // block boundaries, since block sizes are powers of two.
    const uint32_t length = blockSize - (start - flashBase) % blockSize;
    return std::min(length, size);
}

std::string CTransfer::ProgramRateText(uint32_t size, uint64_t elapsedMs)
{
    if (elapsedMs == 0)
        elapsedMs = 1;
    const uint64_t rate = size / elapsedMs;
    if (rate >= 3)
        return Format("%lu bytes successful programmed (%lu kB/s)", Ul(size), Ul(rate));
    return Format("%lu bytes successful programmed (%lu Byte/s)", Ul(size), Ul(uint64_t(size) * 1000 / elapsedMs));
}

bool CTransfer::ProgramRange(const CMemoryRange& range, const SProgramTarget& target)
{
    const uint32_t size = range.GetSize();
    if (size == 0) {
        view_.SetStatus("Program code size is 0 !");
        return false;
    }
    view_.SetStatus(Format("Programming %lu bytes...", Ul(size)));

    const uint32_t blockSize = BlockSize(target);
    if (blockSize == 0)
        return connection_.ReportStatus(&view_, kStatusInvalidParameter, 0);
    uint32_t length = FirstBlockLength(range.GetStart(), size, target.flashBase, blockSize);

    // Some algorithms take the device size; the others the mask of the
    // address bits above one bank.
    const uint32_t p1 = CFlashAlgorithms::Find(target.programAlgorithm).sizeInSetup
                            ? target.deviceSize
                            : 0u - CFlashCatalogue::BankSize(target.busWidthBytes, target.deviceWidth,
                                                             target.deviceSize);
    CProbeLibrary& library = connection_.Library();
    int status = connection_.Frames().FlashSetup(static_cast<uint8_t>(target.programAlgorithm),
                                                 static_cast<uint8_t>(target.busWidthBytes), p1, target.workspace, 0);
    const uint64_t startMs = connection_.Clock().NowMs();
    if (target.pageSize != 0 && target.pageSize != kPageWriteSize)
        status = kStatusPageDataFailed;
    else if (status == kStatusOk)
        status = library.StreamBegin(kStreamProgram, 1);

    CProgressUpdate progress(view_);
    std::vector<uint8_t> block(std::max(blockSize, length));
    uint32_t address = range.GetStart();
    uint32_t remaining = size;
    while (remaining > 0 && status == kStatusOk) {
        image_.ReadBlock(address, block.data(), length);
        status = library.StreamBlock(address, length, block.data());
        address += length;
        remaining -= length;
        length = std::min(blockSize, remaining);
        progress.Update(size, size - remaining);
    }
    uint32_t failAddress = 0;
    if (status == kStatusOk || status == kStatusCompareFailed)
        status = library.StreamEnd(failAddress);
    const uint64_t elapsed = Elapsed(connection_.Clock(), startMs);

    if (status == kStatusOk) {
        progress.Finish();
        view_.SetStatus(ProgramRateText(size, elapsed));
        return true;
    }
    if (status == kStatusCompareFailed || status == kStatusProgramFailedAt)
        return connection_.ReportStatus(&view_, kStatusProgramFailedAt, failAddress);
    return connection_.ReportStatus(&view_, status, 0);
}

bool CTransfer::VerifyRange(const CMemoryRange& range)
{
    const uint32_t size = range.GetSize();
    if (size == 0) {
        view_.SetStatus("Verify code size is 0!");
        return false;
    }
    view_.SetStatus(Format("Verifying %lu bytes ...", Ul(size)));

    CProbeLibrary& library = connection_.Library();
    int status = connection_.Frames().FlashSetup(kVerifyAlgorithm, 0, 0, 0, 0);
    const uint64_t startMs = connection_.Clock().NowMs();
    if (status == kStatusOk)
        status = library.StreamBegin(kStreamVerify, 1);

    CProgressUpdate progress(view_);
    std::vector<uint8_t> block(kBlockSize);
    uint32_t address = range.GetStart();
    uint32_t remaining = size;
    while (remaining > 0 && status == kStatusOk) {
        const uint32_t length = std::min(kBlockSize, remaining);
        image_.ReadBlock(address, block.data(), length);
        status = library.StreamBlock(address, length, block.data());
        address += length;
        remaining -= length;
        progress.Update(size, size - remaining);
    }
    uint32_t failAddress = 0;
    if (status == kStatusOk || status == kStatusCompareFailed)
        status = library.StreamEnd(failAddress);
    const uint64_t elapsed = Elapsed(connection_.Clock(), startMs);
    connection_.Frames().FlashSetup(0, 0, 0, 0, 0); // leaves verify mode; its result does not matter

    if (status == kStatusOk) {
        progress.Finish();
        view_.SetStatus(Format("%lu bytes successful verified (%lu kB/s)", Ul(size), Ul(size / elapsed)));
        return true;
    }
    if (status == kStatusCompareFailed) {
        uint8_t targetByte = 0;
        library.TargetRead8(failAddress, targetByte);
        const uint8_t imageByte = image_.ReadByte(failAddress);
        view_.SetStatus(Format("Verify failed at address %08lX. Image = %02X, Target = %02X", Ul(failAddress),
                               static_cast<unsigned>(imageByte), static_cast<unsigned>(targetByte)));
        return false;
    }
    return connection_.ReportStatus(&view_, status, 0);
}

bool CTransfer::DumpRange(const CMemoryRange& range)
{
    const uint32_t size = range.GetSize();
    view_.SetStatus(Format("Dumping %lu bytes ...", Ul(size)));
    const uint64_t startMs = connection_.Clock().NowMs();

    CProbeLibrary& library = connection_.Library();
    CProgressUpdate progress(view_);
    std::vector<uint8_t> block(kBlockSize);
    uint32_t address = range.GetStart();
    uint32_t remaining = size;
    while (remaining > 0) {
        const uint32_t length = std::min(kBlockSize, remaining);
        const int status = library.TargetReadBlock(address, 0, length, block.data());
        if (status != kStatusOk)
            return connection_.ReportStatus(&view_, status, 0);
        // A dump that cannot be kept must not be reported as done.
        if (image_.WriteBlock(address, block.data(), length) != 0) {
            view_.SetStatus(Format("Writing the memory image failed at address 0x%08lX.", Ul(address)));
            return false;
        }
        address += length;
        remaining -= length;
        progress.Update(size, size - remaining);
    }
    progress.Finish();
    const uint64_t elapsed = Elapsed(connection_.Clock(), startMs);
    view_.SetStatus(Format("%lu bytes successful dumped (%lu kB/s)", Ul(size), Ul(size / elapsed)));
    return true;
}
