#pragma once

#include "project/memory_range.h"
#include "project/code_list.h"
#include "project/erase_map.h"

#include <cstdint>
#include <string>

// The fields of a project, each with its default for a new project. The
// document (CQpgDoc) derives from this, so that resetting it is one
// assignment of a default-built set and no field can be forgotten.
//
// Integers "stored 16-bit" in the file are read back without sign extension,
// so a damaged file can give values out of their range (0..65535); they are
// kept as read, and code that indexes with them checks first.
struct SQpgDocFields {
    // Probe link: baud index 0..4 (9600 .. 115200), channel 0..3 COM1..COM4, 4 network.
    int targetBaud = 0;
    int targetChannel = 0;
    // The probe update dialog's own channel settings.
    int loaderBaud = 0;
    int loaderChannel = 0;
    std::string probeAddress = "111.111.111.111";
    std::string subnetMask = "255.255.255.255";
    std::string gateway = "255.255.255.255";
    // The flash array: base address and total size, set by the target memory setup.
    CMemoryRange physicalRange;
    // Store, Fill, Checksum: their ranges and parameters. Units: 0 byte, 1 word, 2 long.
    CMemoryRange storeRange;
    std::string storeFileName;
    CMemoryRange fillRange;
    uint32_t fillPattern = 0xFFFFFFFF;
    int fillUnit = 2;
    CMemoryRange checksumRange;
    uint32_t checksumDest = 0;
    int checksumType = 0;
    int checksumDestType = 1;
    // Load: the program file, its offset, and whether opening the project loads it.
    bool autoload = false;
    uint32_t loadOffset = 0;
    std::string loadFileName;
    // Target memory setup: banks, bus width (0 8 bit, 1 16 bit, 2 32 bit), the
    // catalogue name ("NONE": no device), the probe workspace and the target
    // configuration word (bits 0-7 JTAG clock code, 8-15 CPU type code,
    // 16-23 nonzero for a big-endian target).
    int bankCount = 1;
    int busWidth = 1;
    std::string memoryType = "NONE";
    uint32_t workspace = 0;
    bool useTargetAlgorithm = false;
    uint32_t targetOptions = 2;
    // The printed report's header texts.
    std::string headerLeft = "header left";
    std::string headerRight = "header right";
    std::string setupTitle = "setup title";
    std::string comment;
    // The Edit Memory Image dialog's unit and last address.
    int editUnit = 1;
    uint32_t editAddress = 0;
    // Sectors selected for erasing, banks x sectors of the device.
    CEraseMap eraseMap;
    // The five init lists.
    CCodeList mainList;
    CCodeList preEraseList;
    CCodeList postEraseList;
    CCodeList preProgramList;
    CCodeList postProgramList;
    // Program, Verify, Dump ranges.
    CMemoryRange programRange;
    CMemoryRange verifyRange;
    CMemoryRange dumpRange;
};
