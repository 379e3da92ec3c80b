// show: a readable summary of the project on stdout: the target description,
// the memory range, the erase map, the channel, the command ranges and the
// five init lists.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "catalogue/flash_catalogue.h"
#include "common/text_format.h"
#include "flash/target_memory_setup.h"

#include <cstdio>

namespace {

std::string RangeText(const CMemoryRange& r)
{
    if (r.GetSize() == 0)
        return Format("%08lX, empty", static_cast<unsigned long>(r.GetStart()));
    return Format("%08lX - %08lX (%08lX bytes)", static_cast<unsigned long>(r.GetStart()),
                  static_cast<unsigned long>(r.GetEnd()), static_cast<unsigned long>(r.GetSize()));
}

std::string ListEntryText(const char* const* names, int count, uint32_t code)
{
    return code < static_cast<uint32_t>(count) ? names[code] : Format("code %lu", static_cast<unsigned long>(code));
}

const char* UnitText(int unit)
{
    return unit == 0 ? "byte" : unit == 1 ? "word" : unit == 2 ? "long" : "?";
}

class CShowStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        return args.TakeStep("show", {}, 0, a, error);
    }

    int Run(CCliSession& session) override
    {
        const CQpgDoc& d = session.Doc();
        std::string out;
        const auto line = [&out](const std::string& s) { out += s + "\n"; };
        line(Format("Project:         %s%s", d.GetPathName().empty() ? "(new, not saved)" : d.GetPathName().c_str(),
                    d.IsModified() ? " (modified)" : ""));
        line(Format("Device:          \"%s\"", d.memoryType.c_str()));
        const uint32_t busBytes = CFlashCatalogue::BusWidthBytes(d.busWidth);
        line(busBytes != 0 ? Format("Data bus:        %d bit", static_cast<int>(busBytes * 8))
                           : Format("Data bus:        code %d (not 8, 16 or 32 bit)", d.busWidth));
        line(Format("Base address:    %08lX", static_cast<unsigned long>(d.physicalRange.GetStart())));
        line(Format("Banks:           %d", d.bankCount));
        line("Physical range:  " + RangeText(d.physicalRange));
        // The map as the project uses it; a wider one read from the file
        // is named, not listed (it may hold millions of positions).
        const CEraseMap inUse = d.EraseMapInUse();
        const std::string selected = inUse.FormatSelection();
        std::string stored;
        if (inUse.GetBanks() != d.eraseMap.GetBanks() || inUse.GetSectors() != d.eraseMap.GetSectors())
            stored = Format(" (the file holds %d x %d, beyond the project's banks and device: not used)",
                            d.eraseMap.GetBanks(), d.eraseMap.GetSectors());
        line(Format("Erase map:       %d bank(s) x %d sector(s), selected: %s%s", inUse.GetBanks(), inUse.GetSectors(),
                    selected.empty() ? "none" : selected.c_str(), stored.c_str()));
        line("CPU type:        " + ListEntryText(CTargetMemorySetup::kCpuTypes, CTargetMemorySetup::kCpuTypeCount,
                                                 (d.targetOptions >> 8) & 0xFF));
        line("JTAG clock:      " + ListEntryText(CTargetMemorySetup::kJtagClocks,
                                                 CTargetMemorySetup::kJtagClockCount, d.targetOptions & 0xFF));
        line(Format("Byte order:      %s endian", d.IsBigEndian() ? "big" : "little"));
        line(Format("Workspace:       %08lX, target algorithm %s", static_cast<unsigned long>(d.workspace),
                    d.useTargetAlgorithm ? "on" : "off"));
        line("Channel:         " + session.Doc().ChannelText());
        line(Format("Load:            \"%s\", offset %08lX, autoload %s", d.loadFileName.c_str(),
                    static_cast<unsigned long>(d.loadOffset), d.autoload ? "on" : "off"));
        line(Format("Store:           \"%s\", ", d.storeFileName.c_str()) + RangeText(d.storeRange));
        line(Format("Fill:            pattern %08lX, %s, ", static_cast<unsigned long>(d.fillPattern),
                    UnitText(d.fillUnit)) + RangeText(d.fillRange));
        line(Format("Checksum:        %s, to %08lX as %s, ", UnitText(d.checksumType),
                    static_cast<unsigned long>(d.checksumDest), UnitText(d.checksumDestType))
             + RangeText(d.checksumRange));
        line("Program:         " + RangeText(d.programRange));
        line("Verify:          " + RangeText(d.verifyRange));
        line("Dump:            " + RangeText(d.dumpRange));
        static const struct {
            const char* name;
            CQpgDoc::EInitList list;
        } kLists[] = {
            {"main", CQpgDoc::MainList},
            {"pre-erase", CQpgDoc::PreEraseList},
            {"post-erase", CQpgDoc::PostEraseList},
            {"pre-program", CQpgDoc::PreProgramList},
            {"post-program", CQpgDoc::PostProgramList},
        };
        for (const auto& l : kLists) {
            const CCodeList& list = d.InitList(l.list);
            line(Format("Init list %-14s %zu entr%s", (std::string(l.name) + ":").c_str(), list.GetCount(),
                        list.GetCount() == 1 ? "y" : "ies"));
            std::string text;
            for (size_t i = 0; i < list.GetCount(); ++i)
                if (list.GetItemDisplayLine(i, text))
                    line("    " + text);
        }
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateShowStep()
{
    return std::make_unique<CShowStep>();
}
