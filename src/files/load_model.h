#pragma once

#include "common/hex_field.h"
#include "files/program_file_readers.h"
#include "project/memory_range.h"

#include <cstdint>
#include <string>

class CMemoryImage;
class CMessageBox;
class COperationView;

// The formats a program file can be read in; Auto finds it.
enum class EProgramFormat { Auto, Elf, Abs, SRecord, IntelHex, Binary };

// The Load dialog's state and rules: the program file name, the load offset,
// the autoload option, and the load itself, which tries the readers in turn
// (ELF, absolute, S-record, Intel HEX) and reports the result. A file none of
// them takes is loaded as binary data only when it is not plain text: a text
// file that is no record file is far more likely a wrong or damaged file
// than flash content, so the person is asked (No by default), or, where no
// one can be asked, the load is refused. A load that does not complete
// leaves the image as it was.
class CLoadModel {
public:
    static constexpr const char* kFileFilter =
        "S-Record (*.sss) | *.sss| Binary (*.bin) | *.bin| HEX-File (*.hex) | *.hex| ELF (*.elf) | *.elf| "
        "all (*.*) | *.*||";

    // What a plain text file that no reader took gets.
    enum class ETextRule {
        Ask,    // the question whether to load it as binary data, No by default
        Refuse, // a refusal (the command line, where --format binary loads it)
    };

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
    // The format the last load read the file in (Auto when none).
    EProgramFormat FormatRead() const { return formatRead_; }
    // The last load was refused because the file is plain text that no
    // reader took (the rule was Refuse, or the person answered No).
    bool RefusedAsText() const { return refusedAsText_; }

    // "ELF file", "S-record file", ...
    static const char* FormatName(EProgramFormat format);
    // "auto", "elf", "abs", "srec", "hex", "binary" -> the format.
    static bool ParseFormat(const std::string& word, EProgramFormat& format);

    std::string fileName;
    CHexField offset{8};
    bool autoload = false;
    bool openedForAutoload = false;
    // The reader to use; Auto tries them in turn.
    EProgramFormat format = EProgramFormat::Auto;
    ETextRule textRule = ETextRule::Ask;
    // Auto: show the status line of each reader as it is tried (true), or
    // only that of the reader that took the file, once it has (a log).
    bool showEveryTry = true;
    // The project's target byte order: an ELF file of the other one is
    // loaded with a warning.
    bool bigEndianTarget = false;

private:
    // Runs the reader of `format` with its status text.
    int RunReader(EProgramFormat format, COperationView& view);
    // No reader took the file: binary data unless it is empty or plain text
    // that the rule does not let through.
    int LoadUntaken(COperationView& view, CMessageBox& box);
    // The warnings of a completed load that wrote what the file says.
    void WarnAbout(CMessageBox& box) const;

    CMemoryImage& image_;
    CMemoryRange physical_;
    CMemoryRange fileRange_{0, 0, 1};
    uint32_t bytesLoaded_ = 0;
    SLoadReport report_;
    bool closeRequested_ = false;
    EProgramFormat formatRead_ = EProgramFormat::Auto;
    bool refusedAsText_ = false;
};
