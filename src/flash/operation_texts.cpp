#include "flash/operation_texts.h"

#include "common/text_format.h"
#include "flash/erase_plan.h"

namespace {

unsigned long Ul(uint64_t v)
{
    return static_cast<unsigned long>(v);
}

// "bank  1 sector  2", "bank  1" or "sector  2", as the pass names itself.
std::string Where(const SErasePass& pass)
{
    if (!pass.namesBank)
        return Format("sector %2d", pass.sector);
    if (pass.sector < 0)
        return Format("bank %2d", static_cast<int>(pass.bank));
    return Format("bank %2d sector %2d", static_cast<int>(pass.bank), pass.sector);
}

const char* Verb(EOperationKind kind)
{
    switch (kind) {
    case EOperationKind::Erase:
        return "Erasing";
    case EOperationKind::Program:
        return "Programming";
    case EOperationKind::Verify:
        return "Verifying";
    case EOperationKind::Dump:
        return "Dumping";
    default:
        return "The operation";
    }
}

} // namespace

std::string COperationTexts::PassStarted(const SErasePass& pass)
{
    // Two spaces after the verb where a bank is named, as the status line always had it.
    return (pass.namesBank ? "Erasing  " : "Erasing ") + Where(pass);
}

std::string COperationTexts::PassFailed(const SErasePass& pass)
{
    return "Erasing failed at " + Where(pass) + " ! \nProcess aborted...";
}

std::string COperationTexts::PassTimedOut(const SErasePass& pass)
{
    return "Erasing timeout at " + Where(pass) + " ! \nProcess aborted...";
}

std::string COperationTexts::PassAccess(const SErasePass& pass, uint32_t address, bool read)
{
    return Format("Erasing %s, %s at address 0x%08lX", Where(pass).c_str(), read ? "reading" : "writing", Ul(address));
}

std::string COperationTexts::StopWaits(const SErasePass& pass)
{
    if (pass.sector < 0)
        return "Stopping ...: a chip erase cannot be stopped once begun; waiting for the end of the erase of " +
               Where(pass) + " (the whole bank is erased)";
    return "Stopping ...: waiting for the erase of " + Where(pass) + " to end";
}

std::string COperationTexts::Stopped(const std::vector<const SErasePass*>& erased, size_t passes)
{
    if (erased.empty())
        return "Erasing stopped: nothing was erased.";
    constexpr size_t kNamed = 16;
    std::string names;
    for (size_t i = 0; i < erased.size() && i < kNamed; ++i) {
        if (i > 0)
            names += ", ";
        names += Where(*erased[i]);
        if (erased[i]->sector < 0)
            names += " (whole)";
    }
    if (erased.size() > kNamed)
        names += Format(" and %zu more", erased.size() - kNamed);
    const bool chip = erased.front()->sector < 0;
    return Format("Erasing stopped: erased %s (%zu of %zu %s); the others were not erased.", names.c_str(),
                  erased.size(), passes, chip ? "banks" : "sectors");
}

std::string COperationTexts::ProgramRate(uint64_t size, uint64_t elapsedMs)
{
    // A rate over less than a tenth of a second says more about the clock than the link.
    if (elapsedMs < kShortestRatedMs)
        return Format("%lu bytes successful programmed", Ul(size));
    const uint64_t elapsed = elapsedMs == 0 ? 1 : elapsedMs;
    const uint64_t bytesPerMs = size / elapsed;
    if (bytesPerMs >= 3)
        return Format("%lu bytes successful programmed (%lu kB/s)", Ul(size), Ul(bytesPerMs));
    return Format("%lu bytes successful programmed (%lu Byte/s)", Ul(size), Ul(size * 1000 / elapsed));
}

std::string COperationTexts::Running(const SProgressEvent& event, uint64_t bytesSinceStart, uint64_t elapsedMs)
{
    const char* verb = event.kind == EOperationKind::Program  ? "Programming"
                       : event.kind == EOperationKind::Verify ? "Verifying"
                       : event.kind == EOperationKind::Dump   ? "Dumping"
                                                              : nullptr;
    if (!verb || event.total == 0)
        return {};
    const uint64_t done = event.done < event.total ? event.done : event.total;
    std::string text = Format("%s %lu of %lu bytes (%lu %%)", verb, Ul(done), Ul(event.total),
                              Ul(done * 100 / event.total));
    if (elapsedMs >= kShortestRatedMs && bytesSinceStart > 0) {
        const uint64_t bytesPerSecond = bytesSinceStart * 1000 / elapsedMs;
        text += bytesPerSecond >= 3000 ? Format(", %lu kB/s", Ul(bytesPerSecond / 1000))
                                       : Format(", %lu Byte/s", Ul(bytesPerSecond));
    }
    return text;
}

std::string COperationTexts::Result(const SOperationResult& r)
{
    const uint64_t elapsed = r.elapsedMs == 0 ? 1 : r.elapsedMs;
    switch (r.status) {
    case EOperationStatus::Done:
        switch (r.kind) {
        case EOperationKind::Program:
            return ProgramRate(r.bytes, r.elapsedMs);
        case EOperationKind::Verify:
            if (r.elapsedMs < kShortestRatedMs)
                return Format("%lu bytes successful verified", Ul(r.bytes));
            return Format("%lu bytes successful verified (%lu kB/s)", Ul(r.bytes), Ul(r.bytes / elapsed));
        case EOperationKind::Dump:
            if (r.elapsedMs < kShortestRatedMs)
                return Format("%lu bytes successful dumped", Ul(r.bytes));
            return Format("%lu bytes successful dumped (%lu kB/s)", Ul(r.bytes), Ul(r.bytes / elapsed));
        default:
            return "Memory successful erased !";
        }
    case EOperationStatus::EmptyRange:
        return r.kind == EOperationKind::Verify ? "Verify code size is 0!" : "Program code size is 0 !";
    case EOperationStatus::CompareFailed:
        return Format("Verify failed at address %08lX. Image = %02X, Target = %02X", Ul(r.address),
                      static_cast<unsigned>(r.imageByte), static_cast<unsigned>(r.targetByte));
    case EOperationStatus::ImageWriteFailed:
        return Format("Writing the memory image failed at address 0x%08lX.", Ul(r.address));
    case EOperationStatus::Cancelled:
        if (r.kind == EOperationKind::Erase)
            return "Erasing cancelled: sectors erased before stay erased.";
        return Format("%s cancelled at address %08lX after %lu of %lu bytes.", Verb(r.kind), Ul(r.address),
                      Ul(r.doneBytes), Ul(r.bytes));
    default:
        return std::string(Verb(r.kind)) + " failed";
    }
}

std::string COperationTexts::Details(const SOperationResult& result)
{
    return result.diagnosis ? result.diagnosis->Text() : std::string();
}
