#include "sim/sim_qemu_flash.h"

#include "common/text_format.h"
#include "sim/sim_flash_algorithm.h"
#include "sim/sim_flash_geometry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint64_t KiB = 1024;

std::string SizeText(uint64_t bytes)
{
    if (bytes % (1024 * KiB) == 0)
        return Format("%llu MiB", static_cast<unsigned long long>(bytes / (1024 * KiB)));
    if (bytes % KiB == 0)
        return Format("%llu KiB", static_cast<unsigned long long>(bytes / KiB));
    return Format("%llu bytes", static_cast<unsigned long long>(bytes));
}

// QEMU's option syntax doubles a comma inside a value.
std::string QemuValue(const std::string& text)
{
    std::string out;
    for (char c : text) {
        out += c;
        if (c == ',')
            out += ',';
    }
    return out;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// Why QEMU's model cannot stand for this program algorithm, or "".
std::string CommandSetLimit(const CSimFlashAlgorithm& a, ESimQemuFlashModel model, const std::string& machine)
{
    const char* modelName = model == ESimQemuFlashModel::Jedec ? "JEDEC" : "Intel";
    switch (a.commandSet) {
    case ESimCommandSet::PageWrite:
        return "QEMU has no model of page-write chips";
    case ESimCommandSet::OnChip:
        return "QEMU has no model of on-chip flash";
    case ESimCommandSet::Jedec:
        if (model != ESimQemuFlashModel::Jedec)
            return Format("a JEDEC device cannot stand on %s, whose flash model is %s", machine.c_str(), modelName);
        if (a.family == ESimUnlockFamily::X16X32)
            return Format("code %u unlocks with x16/x32 addressing, which QEMU's JEDEC model does not decode",
                          a.code);
        if (a.family == ESimUnlockFamily::ByteWord && a.deviceWidth == 1)
            return Format("code %u unlocks a x8/x16 chip in byte mode, which QEMU's JEDEC model does not decode",
                          a.code);
        return {};
    case ESimCommandSet::Intel:
        if (model != ESimQemuFlashModel::Intel)
            return Format("an Intel device cannot stand on %s, whose flash model is %s", machine.c_str(), modelName);
        if (a.fixedBusWidth)
            return Format("code %u is on-chip flash, which QEMU does not model", a.code);
        return {};
    }
    return "unknown command set";
}

} // namespace

CSimQemuFlash::~CSimQemuFlash()
{
    client_.Stop();
    if (driveFd_ >= 0)
        ::close(driveFd_);
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

std::unique_ptr<CSimQemuFlash> CSimQemuFlash::Check(const CBoardFile::CQemuFlashDef& def, std::string& error)
{
    const CSimQemuMachine* machine = FindSimQemuMachine(def.machine);
    if (!machine) {
        error = Format("unknown QEMU machine \"%s\" (expected %s)", def.machine.c_str(), SimQemuMachineNames().c_str());
        return nullptr;
    }
    const char* mname = machine->name;
    CSimFlashGeometry geometry;
    if (!LookupSimFlashGeometry(def.device, geometry)) {
        error = Format("unknown flash device \"%s\"", def.device.c_str());
        return nullptr;
    }
    const CSimFlashAlgorithm* algorithm = FindSimFlashAlgorithm(geometry.programAlgorithm);
    if (!algorithm) {
        error = Format("\"%s\" uses program algorithm %u, which the simulator does not model", def.device.c_str(),
                       geometry.programAlgorithm);
        return nullptr;
    }
    if (std::string why = CommandSetLimit(*algorithm, machine->model, mname); !why.empty()) {
        error = Format("\"%s\": ", def.device.c_str()) + why;
        return nullptr;
    }
    if (def.busBits != machine->busBytes * 8) {
        error = Format("QEMU's %s has its flash on a %u-bit bus, not %u", mname, machine->busBytes * 8, def.busBits);
        return nullptr;
    }
    if (geometry.deviceWidth > machine->busBytes) {
        error = Format("a x%u device needs a bus of at least %u bits", geometry.deviceWidth * 8,
                       geometry.deviceWidth * 8);
        return nullptr;
    }
    const uint32_t lanes = machine->busBytes / geometry.deviceWidth;
    if (lanes > 1 && !machine->deviceWidthSettable) {
        error = Format("QEMU's %s model has no chips side by side: \"%s\" needs a %u-bit bus",
                       machine->model == ESimQemuFlashModel::Jedec ? "JEDEC" : "Intel", def.device.c_str(),
                       geometry.deviceWidth * 8);
        return nullptr;
    }
    if (!def.regions.empty() && !machine->regionsSettable) {
        error = Format("QEMU's %s has uniform erase blocks: regions= does not apply", mname);
        return nullptr;
    }

    auto flash = std::unique_ptr<CSimQemuFlash>(new CSimQemuFlash());
    flash->def_ = def;
    flash->machine_ = machine;
    flash->deviceWidth_ = geometry.deviceWidth;
    flash->bankSize_ = uint64_t(geometry.size) * lanes;
    const uint64_t size = flash->bankSize_ * def.banks;
    if (uint64_t(def.base) + size > 0x100000000ULL) {
        error = Format("qemu-flash at 0x%08X runs past the end of the address space", def.base);
        return nullptr;
    }
    if (algorithm->commandSet == ESimCommandSet::Jedec && def.base % flash->bankSize_ != 0) {
        error = Format("base 0x%08X must be a multiple of the bank size 0x%X (the firmware finds a bank's start by "
                       "masking the address)",
                       def.base, uint32_t(flash->bankSize_));
        return nullptr;
    }

    // QEMU's erase blocks on the bus, and the drive size they add up to.
    std::vector<std::pair<uint64_t, uint64_t>> blocks; // (count, bytes)
    if (!def.regions.empty()) {
        uint64_t total = 0;
        for (auto [count, bytes] : def.regions) {
            blocks.emplace_back(count, bytes);
            total += uint64_t(count) * bytes;
        }
        flash->driveSize_ = total;
        bool allowed = false;
        for (uint64_t s : machine->sizes)
            allowed |= s == total;
        if (!allowed) {
            std::string sizes;
            for (uint64_t s : machine->sizes)
                sizes += (sizes.empty() ? "" : " or ") + SizeText(s);
            error = Format("regions= add up to %s; QEMU's %s takes a flash of %s", SizeText(total).c_str(), mname,
                           sizes.c_str());
            return nullptr;
        }
    } else {
        for (uint64_t s : machine->sizes)
            if (s >= size) {
                flash->driveSize_ = s;
                break;
            }
        if (flash->driveSize_ == 0)
            flash->driveSize_ = machine->sizes.back();
        blocks.emplace_back(flash->driveSize_ / machine->blockBytes, machine->blockBytes);
    }
    if (size > flash->driveSize_) {
        error = Format("%u bank(s) of \"%s\" take %s, more than QEMU's %s flash of %s", def.banks,
                       def.device.c_str(), SizeText(size).c_str(), mname, SizeText(flash->driveSize_).c_str());
        return nullptr;
    }

    // Erasing a sector must erase exactly that sector: QEMU's block starts
    // inside the region must be the catalogue's sector starts.
    std::set<uint64_t> qemuStarts, sectorStarts;
    uint64_t at = 0;
    for (auto [count, bytes] : blocks)
        for (uint64_t i = 0; i < count && at <= size; ++i, at += bytes)
            qemuStarts.insert(at);
    for (uint32_t bank = 0; bank < def.banks; ++bank)
        for (uint32_t start : geometry.sectorStarts)
            sectorStarts.insert(bank * flash->bankSize_ + uint64_t(start) * lanes);
    sectorStarts.insert(size);
    if (size == flash->driveSize_)
        qemuStarts.insert(size);
    if (qemuStarts != sectorStarts) {
        uint64_t first = 0;
        for (auto a = qemuStarts.begin(), b = sectorStarts.begin();; ++a, ++b) {
            if (a == qemuStarts.end() || b == sectorStarts.end() || *a != *b) {
                first = a == qemuStarts.end() ? *b : b == sectorStarts.end() ? *a : std::min(*a, *b);
                break;
            }
        }
        error = Format("QEMU's erase blocks on %s differ from the sectors of \"%s\" at bus offset 0x%llX", mname,
                       def.device.c_str(), static_cast<unsigned long long>(first)) +
                (machine->regionsSettable ? " (regions= sets QEMU's blocks)"
                                          : Format(" (QEMU's blocks there are uniform, %s on the bus)",
                                                   SizeText(machine->blockBytes).c_str()));
        return nullptr;
    }
    return flash;
}

std::vector<std::string> CSimQemuFlash::Arguments() const
{
    const std::string park = Format("0x%X", machine_->parkAddress);
    std::vector<std::string> args{"-M",       machine_->name, "-accel",  "tcg",         "-display",
                                  "none",     "-nodefaults",  "-monitor", "none",       "-serial",
                                  "none",     "-audiodev",    "none,id=snd0"};
    args.push_back("-drive");
    args.push_back("if=pflash,format=raw,file=" + QemuValue(drivePath_) + (def_.readOnly ? ",readonly=on" : ""));
    args.push_back("-device");
    args.push_back("loader,file=" + QemuValue(folder_ + "/park.bin") + ",addr=" + park + ",force-raw=on");
    args.push_back("-device");
    args.push_back("loader,addr=" + park + ",cpu-num=0");
    for (size_t i = 0; i < def_.regions.size(); ++i) {
        args.push_back("-global");
        args.push_back(Format("driver=cfi.pflash02,property=num-blocks%zu,value=%u", i, def_.regions[i].first));
        args.push_back("-global");
        args.push_back(Format("driver=cfi.pflash02,property=sector-length%zu,value=%u", i, def_.regions[i].second));
    }
    if (machine_->deviceWidthSettable) {
        args.push_back("-global");
        args.push_back(Format("driver=cfi.pflash01,property=device-width,value=%u", deviceWidth_));
    }
    return args;
}

bool CSimQemuFlash::PrepareDrive(std::string& error)
{
    if (def_.drive.empty()) {
        drivePath_ = folder_ + "/flash.img";
    } else {
        std::error_code ec;
        drivePath_ = std::filesystem::absolute(def_.drive, ec).string();
        struct stat st {};
        if (::stat(drivePath_.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode) || uint64_t(st.st_size) != driveSize_) {
                error = Format("drive \"%s\" holds %llu bytes; QEMU's %s flash here takes %llu", def_.drive.c_str(),
                               static_cast<unsigned long long>(st.st_size), machine_->name,
                               static_cast<unsigned long long>(driveSize_));
                return false;
            }
            driveFd_ = ::open(drivePath_.c_str(), O_RDONLY | O_CLOEXEC);
            if (driveFd_ < 0) {
                error = Format("cannot open drive \"%s\": %s", def_.drive.c_str(), std::strerror(errno));
                return false;
            }
            return true;
        }
    }
    // A new drive reads erased: all ones.
    const int fd = ::open(drivePath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = Format("cannot create drive \"%s\": %s", drivePath_.c_str(), std::strerror(errno));
        return false;
    }
    const std::vector<uint8_t> erased(1024 * KiB, 0xFF);
    bool ok = true;
    for (uint64_t done = 0; ok && done < driveSize_; done += erased.size())
        ok = WriteAll(fd, erased.data(), size_t(std::min<uint64_t>(erased.size(), driveSize_ - done)));
    ::close(fd);
    if (!ok) {
        error = Format("cannot write drive \"%s\": %s", drivePath_.c_str(), std::strerror(errno));
        ::unlink(drivePath_.c_str());
        return false;
    }
    driveFd_ = ::open(drivePath_.c_str(), O_RDONLY | O_CLOEXEC);
    return driveFd_ >= 0;
}

bool CSimQemuFlash::Start(std::string& error)
{
    const std::string program = CQemuQtestClient::FindProgram();
    if (program.empty()) {
        error = "qemu-flash needs qemu-system-arm, which is not installed here (Debian package qemu-system-arm)";
        return false;
    }
    std::string pattern = "/tmp/tarvel-qemu-flash-XXXXXX";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        pattern = std::string(tmp) + "/tarvel-qemu-flash-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
        error = Format("cannot create a folder for QEMU: %s", std::strerror(errno));
        return false;
    }
    folder_ = buffer.data();
    const std::vector<uint8_t> loop = SimQemuParkLoop(*machine_);
    const int fd = ::open((folder_ + "/park.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && WriteAll(fd, loop.data(), loop.size());
    if (fd >= 0)
        ::close(fd);
    if (!written) {
        error = Format("cannot write QEMU's park loop: %s", std::strerror(errno));
        return false;
    }
    if (!PrepareDrive(error))
        return false;
    std::string why;
    if (!client_.Start(program, Arguments(), why) || !client_.AwaitReady(machine_->flashBase, int(BusBytes()), why)) {
        error = Format("QEMU's %s for \"%s\": ", machine_->name, def_.device.c_str()) + why;
        return false;
    }
    return true;
}

bool CSimQemuFlash::Read(uint64_t offset, int widthBytes, uint32_t& value)
{
    const uint64_t address = machine_->flashBase + offset;
    const int bus = int(machine_->busBytes);
    if (widthBytes <= bus)
        return client_.Read(address, widthBytes, value);
    std::vector<uint64_t> addresses;
    for (int i = 0; i < widthBytes; i += bus)
        addresses.push_back(address + uint64_t(i));
    std::vector<uint32_t> parts;
    if (!client_.ReadMany(addresses, bus, parts))
        return false;
    value = 0;
    for (size_t i = 0; i < parts.size(); ++i)
        value |= parts[i] << (8 * bus * int(i));
    return true;
}

bool CSimQemuFlash::Write(uint64_t offset, int widthBytes, uint32_t value)
{
    const uint64_t address = machine_->flashBase + offset;
    const int bus = int(machine_->busBytes);
    if (widthBytes <= bus)
        return client_.Write(address, widthBytes, value);
    const uint32_t mask = (1u << (8 * bus)) - 1;
    for (int i = 0; i < widthBytes; i += bus)
        if (!client_.Write(address + uint64_t(i), bus, (value >> (8 * i)) & mask))
            return false;
    return true;
}

bool CSimQemuFlash::Peek(uint64_t offset, uint8_t& value)
{
    // QEMU stores every program and erase in the drive file before it
    // answers the cycle: once the replies are in, the file is current.
    if (driveFd_ < 0 || !client_.Flush())
        return false;
    return ::pread(driveFd_, &value, 1, off_t(offset)) == 1;
}
