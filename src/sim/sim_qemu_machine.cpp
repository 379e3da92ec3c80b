#include "sim/sim_qemu_machine.h"

namespace {

constexpr uint64_t MiB = 1024 * 1024;

const CSimQemuMachine kMachines[] = {
    {"musicpal", ESimQemuFlashModel::Jedec, 2, 0xFE000000, {8 * MiB, 16 * MiB, 32 * MiB}, 64 * 1024, true, false,
     0x00100000, false},
    {"xilinx-zynq-a9", ESimQemuFlashModel::Jedec, 1, 0xE2000000, {64 * MiB}, 128 * 1024, true, false, 0x00100000,
     true},
    {"connex", ESimQemuFlashModel::Intel, 2, 0x00000000, {16 * MiB}, 128 * 1024, false, true, 0xA0100000, false},
    {"verdex", ESimQemuFlashModel::Intel, 2, 0x00000000, {32 * MiB}, 128 * 1024, false, true, 0xA0100000, false},
    {"versatilepb", ESimQemuFlashModel::Intel, 4, 0x34000000, {64 * MiB}, 256 * 1024, false, true, 0x00100000,
     false},
};

constexpr uint32_t kArmV5WaitForInterrupt = 0xEE070F90; // mcr p15, 0, r0, c7, c0, 4
constexpr uint32_t kArmV7WaitForInterrupt = 0xE320F003; // wfi
constexpr uint32_t kBranchBackOne = 0xEAFFFFFD;         // b to the instruction before

} // namespace

const CSimQemuMachine* FindSimQemuMachine(const std::string& name)
{
    for (const auto& m : kMachines)
        if (name == m.name)
            return &m;
    return nullptr;
}

std::string SimQemuMachineNames()
{
    std::string names;
    for (const auto& m : kMachines)
        names += (names.empty() ? "" : ", ") + std::string(m.name);
    return names;
}

std::vector<uint8_t> SimQemuParkLoop(const CSimQemuMachine& machine)
{
    std::vector<uint8_t> bytes;
    for (uint32_t word : {machine.armV7 ? kArmV7WaitForInterrupt : kArmV5WaitForInterrupt, kBranchBackOne})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(word >> (8 * i)));
    return bytes;
}
