#include "probe/probe_library.h"

int ProbeOrdinal(EProbeOperation operation)
{
    for (const SProbeOrdinal& entry : kProbeLibraryOrdinals) {
        if (entry.operation == operation)
            return entry.ordinal;
    }
    return 0;
}

int CProbeLibrary::TargetReadBlocks(int count, const SProbeReadBlock* blocks, int& failed)
{
    for (failed = 0; failed < count; ++failed)
        if (const int status = TargetReadBlock(blocks[failed].address, 0, blocks[failed].length, blocks[failed].buffer);
            status != 0)
            return status;
    return 0;
}

int CProbeLibrary::TargetCycles(int count, const SProbeBusCycle* cycles, int& failed)
{
    for (failed = 0; failed < count; ++failed) {
        const SProbeBusCycle& cycle = cycles[failed];
        int status = 0;
        if (cycle.read) {
            uint8_t byte = 0;
            uint16_t half = 0;
            uint32_t word = 0;
            status = cycle.widthBytes == 1   ? TargetRead8(cycle.address, byte)
                     : cycle.widthBytes == 2 ? TargetRead16(cycle.address, half)
                                             : TargetRead32(cycle.address, word);
        } else {
            status = cycle.widthBytes == 1   ? TargetWrite8(cycle.address, cycle.value)
                     : cycle.widthBytes == 2 ? TargetWrite16(cycle.address, cycle.value)
                                             : TargetWrite32(cycle.address, cycle.value);
        }
        if (status != 0)
            return status;
    }
    return 0;
}
