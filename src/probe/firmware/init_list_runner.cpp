#include "probe/firmware/init_list_runner.h"

#include "probe/init_list_walker.h"
#include "probe/probe_status.h"

int CInitListRunner::Run(const std::vector<SInitListRecord>& list, CFirmwareBus& bus)
{
    // The probe answers nobody while it waits, so a list that would wait
    // longer than the host ever allows is refused before it runs.
    if (const int code = CInitListWalker::CheckDelays(list.data(), static_cast<int>(list.size())); code != kStatusOk)
        return code;
    const auto cycle = [](bool answered) { return answered ? kStatusOk : kStatusTargetAccessError; };
    return CInitListWalker::Walk(
        list.data(), static_cast<int>(list.size()), kMaxSteps,
        [&bus, &cycle](const SInitListRecord& entry, uint32_t offset) -> int {
            if (bus.Stopping())
                return kStatusInitListFailed;
            uint32_t value = 0;
            switch (entry.type) {
            case kInitNop:
            case kInitMmap:
            case kInitLoop:
                return kStatusOk;
            case kInitDelay:
                bus.Delay(entry.value);
                return kStatusOk;
            case kInitExec:
                return bus.Execute(entry.address, entry.value);
            case kInitWm8:
                return cycle(bus.BusWrite(entry.address + offset, 1, entry.value & 0xFF));
            case kInitWm16:
                return cycle(bus.BusWrite(entry.address + offset, 2, entry.value & 0xFFFF));
            case kInitWm32:
                return cycle(bus.BusWrite(entry.address + offset, 4, entry.value));
            case kInitRm8:
                return cycle(bus.BusRead(entry.address, 1, value));
            case kInitRm16:
                return cycle(bus.BusRead(entry.address, 2, value));
            case kInitRm32:
                return cycle(bus.BusRead(entry.address, 4, value));
            case kInitWgpr:
                return bus.WriteRegister(kRegClassGeneral, static_cast<uint16_t>(entry.address), entry.value);
            case kInitWcpsr:
                return bus.WriteRegister(kRegClassCpsr, 0, entry.value);
            case kInitWcp15:
                return bus.WriteRegister(kRegClassCp15, static_cast<uint16_t>(entry.address), entry.value);
            default:
                return kStatusInvalidArgument;
            }
        });
}
