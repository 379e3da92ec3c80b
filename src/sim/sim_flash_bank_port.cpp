#include "sim/sim_flash_bank_port.h"

std::optional<CSimFlashBankPort> CSimFlashBankPort::Open(CSimFlashArray& array, uint32_t busBytes, uint32_t first,
                                                         uint32_t last)
{
    const uint64_t end = uint64_t(array.Base()) + array.Size();
    if (array.Lanes() != 1 || busBytes != array.BusBytes() || first > last || first < array.Base() ||
        uint64_t(last) + busBytes > end || (first | last) % busBytes != 0)
        return std::nullopt;
    const CSimFlashArray::CRoute from = array.Route(first - array.Base());
    const CSimFlashArray::CRoute to = array.Route(last - array.Base());
    if (from.bank != to.bank)
        return std::nullopt;
    const uint32_t bankBase = uint32_t(array.Base() + from.bank * array.BankSize());
    return CSimFlashBankPort(array, array.Device(from.bank, 0), bankBase);
}
