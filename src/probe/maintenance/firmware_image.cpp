#include "probe/maintenance/firmware_image.h"

#include "common/bounded_file.h"
#include "probe/maintenance/firmware_record.h"

#include <algorithm>
#include <fstream>

CFirmwareImage::EResult CFirmwareImage::Read(const std::string& path)
{
    blocks_.clear();
    fileLength_ = 0;
    badLine = 0;
    detail.clear();
    std::string text;
    if (CBoundedFile::Read(path, kMaxFileBytes, "a firmware image", text, detail) != CBoundedFile::EResult::Ok)
        return EResult::CannotOpen;
    return ReadText(text);
}

CFirmwareImage::EResult CFirmwareImage::ReadText(const std::string& text)
{
    blocks_.clear();
    fileLength_ = text.size();
    badLine = 0;
    detail.clear();
    auto bad = [this](size_t line, const std::string& why) {
        blocks_.clear();
        badLine = line;
        detail = "line " + std::to_string(line) + ": " + why;
        return EResult::BadRecord;
    };
    size_t pos = 0;
    size_t lineNumber = 0;
    std::string error;
    while (pos < text.size()) {
        ++lineNumber;
        const size_t newline = text.find('\n', pos);
        const bool hasNewline = newline != std::string::npos;
        std::string line = text.substr(pos, (hasNewline ? newline : text.size()) - pos);
        pos = hasNewline ? newline + 1 : text.size();
        if (!line.empty() && line.back() == '\r' && hasNewline)
            line.pop_back();
        if (line.size() > kMaxLineLength)
            return bad(lineNumber, "longer than " + std::to_string(kMaxLineLength) + " characters");
        uint32_t address = 0;
        std::vector<uint8_t> data;
        const CFirmwareRecord::EKind kind = CFirmwareRecord::Parse(line, hasNewline, address, data, error);
        if (kind == CFirmwareRecord::EKind::Bad)
            return bad(lineNumber, error);
        if (kind != CFirmwareRecord::EKind::Data || data.empty())
            continue;
        data.resize((data.size() + 3) / 4 * 4, 0xFF);
        const uint64_t end = uint64_t(address) + data.size();
        if (address < kAreaStart)
            return bad(lineNumber, "data outside the firmware area");
        if (end > uint64_t(1) << 32)
            return bad(lineNumber, "data past the end of the address space");
        for (uint64_t at = std::max<uint64_t>(address, kMarkerAddress); at < std::min<uint64_t>(end, kMarkerAddress + 4);
             ++at) {
            if (data[at - address] != 0xFF)
                return bad(lineNumber, "data on the start marker");
        }
        SBlock block;
        block.address = address;
        block.data = std::move(data);
        block.filePosition = pos;
        block.line = lineNumber;
        blocks_.push_back(std::move(block));
    }
    if (blocks_.empty()) {
        detail = "no data records";
        badLine = lineNumber;
        return EResult::BadRecord;
    }
    return EResult::Ok;
}
