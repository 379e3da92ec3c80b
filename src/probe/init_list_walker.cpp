#include "probe/init_list_walker.h"

#include "probe/probe_status.h"
#include "project/code_item.h"

int CInitListWalker::Walk(const SInitListRecord* records, int count, uint64_t maxSteps, const Visit& visit)
{
    uint32_t offset = 0;
    uint32_t counter = 0;
    uint64_t steps = 0;
    for (int i = 0; i < count;) {
        if (++steps > maxSteps)
            return kStatusInvalidArgument;
        const SInitListRecord& entry = records[i];
        if (const int status = visit(entry, offset); status != 0)
            return status;
        if (entry.type == kInitLoop) {
            if (counter == 0)
                counter = entry.value;
            if (counter > 1) {
                if (i < 2)
                    return kStatusInvalidArgument;
                --counter;
                offset += entry.address;
                i -= 2;
                continue;
            }
            counter = 0;
            offset = 0;
        }
        ++i;
    }
    return kStatusOk;
}

uint64_t CInitListWalker::PlannedDelayMs(const SInitListRecord* records, int count, uint64_t capMs)
{
    uint64_t total = 0;
    Walk(records, count, 10'000'000, [&](const SInitListRecord& entry, uint32_t) {
        if (entry.type == kInitDelay || entry.type == kInitExec)
            total += entry.value;
        return total > capMs ? 1 : 0;
    });
    return total > capMs ? capMs : total;
}

int CInitListWalker::CheckDelays(const SInitListRecord* records, int count)
{
    for (int i = 0; i < count; ++i)
        if ((records[i].type == kInitDelay || records[i].type == kInitExec) && records[i].value > CCodeItem::kMaxDelayMs)
            return kStatusInitListDelay;
    if (PlannedDelayMs(records, count, kMaxTotalDelayMs + 1) > kMaxTotalDelayMs)
        return kStatusInitListDelay;
    return kStatusOk;
}
