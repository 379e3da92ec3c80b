#include "report/report_content.h"

#include "catalogue/flash_catalogue.h"
#include "commands/target_setup_command.h"
#include "common/text_format.h"
#include "project/qpg_doc.h"

namespace {

std::string Hex(uint32_t value)
{
    return Format("0x%08lX", static_cast<unsigned long>(value));
}

// An entry of a table of names; a code outside the table (only a damaged or
// foreign project file holds one) is named by its number instead of reading
// past the table.
template <size_t N> std::string Named(const char* const (&names)[N], long code)
{
    if (code >= 0 && code < static_cast<long>(N))
        return names[code];
    return Format("unknown (%ld)", code);
}

const char* const kUnits[] = {"BYTE", "WORD", "LONG"};
const char* const kChannels[] = {"COM1", "COM2", "COM3", "COM4", "Network"};
const char* const kBauds[] = {"9600", "19200", "38400", "57600", "115200"};
const char* const kBusWidths[] = {"8 Bit", "16 Bit", "32 Bit"};
const char* const kCpuTypes[] = {"ARM7TDMI", "ARM7DI", "ARM710T", "ARM720T", "ARM740T", "ARM9TDMI",
                                 "ARM920T",  "ARM940T", "TMS470", "ARM9E",   "ARM946E", "ARM966E",
                                 "TI925T",   "MAC7100", "ARM926E", "FA526"};
const char* const kListTitles[] = {"Target Main Initlist", "Target Pre-Erase Initlist",
                                   "Target Post-Erase Initlist", "Target Pre-Program Initlist",
                                   "Target Post-Program Initlist"};

} // namespace

std::string CReportContent::RangeText(uint32_t start, uint32_t size)
{
    const uint32_t last = size == 0 ? 0 : start + size - 1;
    return Hex(start) + "..." + Hex(last);
}

std::string CReportContent::UnitText(int unit)
{
    return Named(kUnits, unit);
}

// The clock is named as the target memory setup names it, so that the report
// shows the clock the person chose.
std::string CReportContent::JtagClockText(uint32_t code)
{
    if (code < static_cast<uint32_t>(CTargetMemorySetup::kJtagClockCount))
        return CTargetMemorySetup::kJtagClocks[code];
    return Format("unknown (%lu)", static_cast<unsigned long>(code));
}

std::string CReportContent::CpuTypeText(uint32_t code)
{
    return Named(kCpuTypes, static_cast<long>(code));
}

CReportContent::CReportContent(const CQpgDoc& doc, std::string title, std::string date)
    : headerLeft(doc.headerLeft),
      headerRight(doc.headerRight),
      setupTitle(doc.setupTitle),
      comment(doc.comment),
      documentTitle(std::move(title)),
      dateText(std::move(date))
{
    const auto range = [](const CMemoryRange& r) { return RangeText(r.GetStart(), r.GetSize()); };
    operations = {
        {"Load", "Offset: " + Hex(doc.loadOffset), doc.loadFileName},
        {"Store", range(doc.storeRange), doc.storeFileName},
        {"Dump", range(doc.dumpRange), ""},
        {"Fill", range(doc.fillRange), "Pattern: " + Hex(doc.fillPattern)},
        {"Checksum", range(doc.checksumRange),
         "Type: " + UnitText(doc.checksumType) + "   Destination: " + Hex(doc.checksumDest)
             + "   Type: " + UnitText(doc.checksumDestType)},
        {"Program", range(doc.programRange), ""},
        {"Verify", range(doc.verifyRange), ""},
    };

    uint32_t eraseAlgorithm = 0;
    uint32_t sectorCount = 0;
    erasable = CFlashCatalogue::GetFlashEraseAlgorithm(doc.memoryType, eraseAlgorithm) && eraseAlgorithm != 0
               && CFlashCatalogue::GetFlashSectorCount(doc.memoryType, sectorCount);
    if (erasable) {
        const CEraseMap inUse = doc.EraseMapInUse();
        for (int bank = 0; bank < inUse.GetBanks(); ++bank)
            for (int sector = 0; sector < inUse.GetSectors(); ++sector)
                if (inUse.IsSectorSelected(bank, sector))
                    eraseSectors.push_back(Format("%i/%i", bank, sector));
    }

    std::string channel = Named(kChannels, doc.targetChannel) + " / ";
    if (doc.targetChannel == 4)
        channel += doc.probeAddress;
    else
        channel += Named(kBauds, doc.targetBaud) + " bps";
    communication = {"Communication", channel, ""};

    memorySetup = {
        {"Memory Type:", doc.memoryType},
        {"Databus Size:", Named(kBusWidths, doc.busWidth)},
        {"Number of Banks:", Format("%i", doc.bankCount)},
        {"Base Address:", Hex(doc.physicalRange.GetStart())},
        {"JTAG Clock:", JtagClockText(doc.targetOptions & 0xFF)},
        {"Workspace:", doc.useTargetAlgorithm ? Hex(doc.workspace) : std::string("none")},
        {"CPU Type:", CpuTypeText((doc.targetOptions >> 8) & 0xFF)},
        {"Endian:", doc.IsBigEndian() ? "Big" : "Little"},
    };

    for (int i = 0; i < CQpgDoc::kInitListCount; ++i) {
        const CCodeList& list = doc.InitList(static_cast<CQpgDoc::EInitList>(i));
        SList out{kListTitles[i], {}};
        std::string line;
        for (size_t k = 0; k < list.GetCount(); ++k) {
            if (list.GetItemDisplayLine(k, line))
                out.entries.emplace_back(line);
            else
                out.entries.emplace_back(std::nullopt);
        }
        lists.push_back(std::move(out));
    }
}
