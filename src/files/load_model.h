#pragma once

#include "common/hex_field.h"
#include "files/program_file_readers.h"
#include "project/memory_range.h"

#include <cstdint>
#include <string>

class CMemoryImage;
class CMessageBox;
class COperationView;

// The Load dialog's state and rules: the program file name, the load offset,
// the autoload option, and the load itself, which tries the readers in turn
// (ELF, absolute, S-record, Intel HEX, binary) and reports the result. A load
// that does not complete leaves the image as it was.
class CLoadModel {
public:
    static constexpr const char* kFileFilter =
        "S-Record (*.sss) | *.sss| Binary (*.bin) | *.bin| HEX-File (*.hex) | *.hex| ELF (*.elf) | *.elf| "
        "all (*.*) | *.*||";

    CLoadModel(CMemoryImage& image, const CMemoryRange& physical) : image_(image), physical_(physical) {}

    // Runs the readers on `fileName` at the offset field's value, showing
    // progress on `view` and the report through `box`. Returns the result of
    // the last reader run (0, 1, 3, 4 or 5; 2 only if no reader took the file).
    int Load(COperationView& view, CMessageBox& box);

    // After an autoload run that loaded successfully, the dialog closes itself.
    bool CloseRequested() const { return closeRequested_; }
    uint32_t BytesLoaded() const { return bytesLoaded_; }
    const CMemoryRange& FileRange() const { return fileRange_; }
    const CMemoryRange& Physical() const { return physical_; }
    // Where and why the last load was refused (result 5), or what it wrote.
    const SLoadReport& Report() const { return report_; }

    std::string fileName;
    CHexField offset{8};
    bool autoload = false;
    bool openedForAutoload = false;

private:
    CMemoryImage& image_;
    CMemoryRange physical_;
    CMemoryRange fileRange_{0, 0, 1};
    uint32_t bytesLoaded_ = 0;
    SLoadReport report_;
    bool closeRequested_ = false;
};
