#pragma once

#include "flash/flash_identity.h"
#include "flash/sector_cover.h"

#include <string>
#include <vector>

class CMessageBox;
class CProbeLibrary;
struct SFlashDevice;

// What an erase or program does when the flash on the board is not the
// project's device: ask the person (No is the default), refuse, or not read
// the flash's identity at all.
enum class EDeviceCheck { Ask, Refuse, Off };

// How the flash on the board compares with the project's device.
struct SDeviceCheckResult {
    enum class EOutcome {
        Match,         // every bank answered and fits the device
        Mismatch,      // a bank answered with something else
        NotChecked,    // a bank did not answer the CFI query, or answered garbage
        Skipped,       // the family has no identity to read (on-chip, page-write)
        Off,           // the check was turned off; nothing was read
        NotReadMode,   // the flash did not read its array again after the reads
        LibraryError,  // a bus access failed: `status`
    };

    EOutcome outcome = EOutcome::Off;
    int status = 0;
    // One line for the status line.
    std::string summary;
    // What the flash said, what the project expects and where they differ
    // (Mismatch), one line each.
    std::string found;
    std::string expected;
    std::string differences;
    // Catalogue rows that fit what the first differing bank (or bank 0) said.
    std::vector<const SFlashDevice*> fits;
    std::vector<SFlashIdentity> banks;

    // Whether an erase or program may go on without asking.
    bool Passes() const
    {
        return outcome == EOutcome::Match || outcome == EOutcome::NotChecked || outcome == EOutcome::Skipped ||
               outcome == EOutcome::Off;
    }
    // The text of the question or refusal: found, expected, the rows that fit.
    std::string Message() const;
};

// The comparison of the flash's own description with the project's device:
// the size of one device, the sector layout (every sector's start and size,
// so top and bottom boot differ), the command set family and the number of
// devices side by side that the bus width implies.
class CDeviceCheck {
public:
    // Reads the identity of every bank and compares it.
    static SDeviceCheckResult Run(CProbeLibrary& library, const SFlashArray& array);
    // Compares identities already read.
    static SDeviceCheckResult Compare(const SFlashArray& array, const std::vector<SFlashIdentity>& banks);

    // After a result that does not pass: asks (Ask: Yes goes on, No is the
    // default) or refuses with an error box (Refuse). True to go on.
    static bool Confirm(const SDeviceCheckResult& result, EDeviceCheck mode, CMessageBox& box);

    // Catalogue rows (in catalogue order) that fit a usable identity on a
    // bus of `busWidthBytes`: the command set family, the device width the
    // count of devices gives, the size and the sector layout.
    static std::vector<const SFlashDevice*> Fits(const SFlashIdentity& identity, uint32_t busWidthBytes);

    // "JEDEC command set, 1 device of 16 bits, 2048 KiB each, 35 sectors:
    // 1 x 16 KiB, 2 x 8 KiB, 1 x 32 KiB, 31 x 64 KiB (bottom boot)".
    static std::string Describe(const SFlashIdentity& identity);
    static std::string Describe(const SFlashDevice& device, uint32_t busWidthBytes);
    // The codes and the CFI details of one bank, for identify's listing.
    static std::string DescribeCodes(const SFlashIdentity& identity);
    // Runs of equal sectors in address order, "1 x 16 KiB, 2 x 8 KiB, ...".
    static std::string Layout(const std::vector<uint32_t>& starts, uint32_t size);
};
