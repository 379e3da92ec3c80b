#pragma once

#include "common/hex_field.h"

#include <cstdint>
#include <functional>
#include <string>

class CMessageBox;
class CQpgDoc;

// The rules of the "Target Memory Setup" dialog: which flash device sits on
// the target bus (catalogue name, bus width, banks, base address), the CPU
// type, JTAG clock and byte order, and whether programming runs an algorithm
// on the target in a RAM workspace.
//
// The dialog works on a copy of the project's setup record. Its controls are
// the public fields below (the view binds to them and shows the enabled
// states); the events are the methods. Which controls are enabled, and what
// the bus width becomes, follows from the program algorithm code of the chosen
// device. On OK (Confirm returning true) ApplyTo puts the result into the
// project. The desktop dialog and `tarvel-cli setup` both drive this class.
class CTargetMemorySetup {
public:
    // The setup record: the project fields the dialog edits.
    struct SRecord {
        std::string memoryType = "NONE";
        int busWidth = 1; // 0 8 bit, 1 16 bit, 2 32 bit
        int bankCount = 1;
        uint32_t baseAddress = 0; // physicalRange.start
        uint32_t workspace = 0;
        bool useTargetAlgorithm = false;
        uint32_t targetOptions = 2; // clock | cpu << 8 | 0x10000 for big endian
    };

    // "CPU Type" and "JTAG Clock" lists: the list position is the code.
    static constexpr int kCpuTypeCount = 15;
    static constexpr const char* kCpuTypes[kCpuTypeCount] = {
        "ARM7TDMI", "ARM7DI", "ARM710T", "ARM720T", "ARM740T", "ARM9TDMI", "ARM920T", "ARM940T",
        "TMS470",   "ARM9E",  "ARM946E", "ARM966E", "TI925T",  "MAC7100",  "ARM926E",
    };
    static constexpr int kJtagClockCount = 11;
    static constexpr const char* kJtagClocks[kJtagClockCount] = {
        "Adaptive", "16 MHz", "8 MHz",  "4 MHz",  "1 MHz", "500 kHz",
        "200 kHz",  "100 kHz", "50 kHz", "20 kHz", "10 kHz",
    };
    static constexpr int kMinBanks = 1;
    static constexpr int kMaxBanks = 16;
    static constexpr const char* kDeviceListFile = "memList.txt";

    explicit CTargetMemorySetup(const SRecord& record) : record_(record) {}
    // The setup record of a project.
    static SRecord RecordOf(const CQpgDoc& doc);

    // Opening the dialog: fills the controls from the copy, writes every
    // catalogue name from row 0 on, one a line, to `deviceListFile` (an empty
    // name writes no file), selects the memory type's list entry and updates
    // the controls. False when the list file could not be written; the dialog
    // goes on without it.
    bool Open(const std::string& deviceListFile = kDeviceListFile);

    // ---- Events --------------------------------------------------------------

    // "8 Bit", "16 Bit", "32 Bit" (bus width 0, 1, 2). A click on a disabled
    // button cannot happen and is ignored.
    void SelectBusWidth(int busWidth);
    // A new selection in "Memory Type:" (catalogue row): reads the controls
    // (a failure shows its message, which adds that the choice was undone,
    // and keeps the previous type), updates the controls and shows the copy
    // in them. A device with one flash array (the number of banks disabled)
    // is read with one bank. Answers whether the new type was taken.
    bool ChooseMemoryType(int row, CMessageBox& box);
    // After a choice: a device of program algorithm 40 or 41 reminds of
    // CFMCLKD, after the default beep (`beep`, when given). A front end whose
    // list moves by type-ahead calls it once the typing has paused, so that
    // a device passed on the way to another does not interrupt the typing.
    void RemindOfClock(CMessageBox& box, const std::function<void()>& beep = {}) const;
    // ChooseMemoryType, then RemindOfClock.
    void SelectMemoryType(int row, CMessageBox& box, const std::function<void()>& beep = {});
    // "Use target algorithm" clicked (ignored while the box is disabled).
    void SetTargetAlgorithm(bool checked, CMessageBox& box);
    // "OK": reads the controls, checks the workspace against the flash array,
    // reads them once more. True when the dialog closes with OK; otherwise the
    // one message has been shown and the dialog stays open.
    bool Confirm(CMessageBox& box);

    // Reads the controls into the copy, in the dialog's order; the first
    // failure stops the reading, shows its message and answers false.
    bool ReadControls(CMessageBox& box);

    // The project changes of a confirmed dialog: banks, memory type, bus
    // width, workspace, the target algorithm option and the target options;
    // the base address as physicalRange's start and the image's base; the
    // project marked modified; and when the catalogue knows the memory type,
    // physicalRange's size becomes the flash array size and the erase map is
    // re-dimensioned to (banks, sectors).
    void ApplyTo(CQpgDoc& doc) const;

    const SRecord& Record() const { return record_; }

    // Flash array size of the copy's bus width and bank count for `memoryType`;
    // 0 when the catalogue does not know the name.
    uint64_t FlashArraySize(const std::string& memoryType) const;

    // ---- Controls ------------------------------------------------------------

    int memoryIndex = 0;   // selected "Memory Type:" entry = catalogue row
    std::string banksText; // "Number of Banks"
    CHexField baseField{8};
    CHexField workspaceField{8};
    bool targetAlgorithmChecked = false;
    int cpuIndex = 0;      // "CPU Type" position; -1 when the code is not in the list
    int clockIndex = 2;    // "JTAG Clock" position; -1 likewise
    bool bigEndianChecked = false;
    // The checked bus width button: the bus width the handlers hold.
    int BusWidth() const { return record_.busWidth; }

    struct SEnabled {
        bool memoryType = true;
        bool baseAddress = true;
        bool banks = true;
        bool bus8 = true;
        bool bus16 = true;
        bool bus32 = true;
        bool targetAlgorithm = false;
        bool workspace = false;
        bool option = false; // "&Option...": always disabled, no action
    };
    SEnabled enabled;

    // The list entry the opening selects for `memoryType`: the first whose
    // name begins with it, letter case ignored; 0 ("NONE") when none does.
    static int ListEntryFor(const std::string& memoryType);

private:
    void ShowRecord();
    void UpdateControls();
    bool CheckArray(const std::string& memoryType, uint32_t base, CMessageBox& box) const;
    uint32_t ProgramAlgorithm() const;

    SRecord record_;
};
