#include "probe/maintenance/logic_programmer.h"

#include "common/message_box.h"
#include "common/operation_view.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"
#include "probe/maintenance/probe_version.h"

namespace {

// The row's progress: the typed event, the bar, and the status text with the
// percentage (row x 100 / 134, so the last row shows 99 %).
void ShowRow(COperationView& view, const char* text, int row)
{
    const int percent = row * 100 / CJedecFile::kRows;
    view.Progress({EOperationKind::ProbeLogic, static_cast<uint64_t>(row) + 1, CJedecFile::kRows});
    view.SetProgress(percent);
    view.SetStatus(std::string(text) + " ( " + std::to_string(percent) + "% )");
}

} // namespace

std::string CLogicProgrammer::SignatureText(uint16_t version)
{
    return "B6001E8" + CProbeVersion::ThreeDigits(version);
}

std::string CLogicProgrammer::SignatureBits(const std::string& text)
{
    std::string bits;
    for (size_t i = 0; i < kUesFuses / 8; ++i) {
        const auto byte = static_cast<uint8_t>(i < text.size() ? text[i] : 0);
        for (int bit = 7; bit >= 0; --bit)
            bits.push_back((byte >> bit) & 1 ? '1' : '0');
    }
    return bits;
}

void CLogicProgrammer::Fail(const std::string& text)
{
    box_.Show(text, "", EMsgIcon::None, EMsgButtons::Ok);
}

bool CLogicProgrammer::CommunicationFailed()
{
    Fail("Communication with QDX failed!");
    return false;
}

bool CLogicProgrammer::ReadJedecFile(const std::string& path)
{
    view_.SetStatus("Logic: Reading JEDEC File ...");
    CJedecFile file;
    CWaitCursor cursor(view_);
    switch (file.Read(path, map_)) {
    case CJedecFile::EResult::Ok:
        return true;
    case CJedecFile::EResult::CannotOpen:
        // Why it could not be read (missing, unreadable, too large) in the
        // status line and the box's details.
        if (!file.detail.empty())
            view_.SetStatus("Logic: " + file.detail);
        box_.ShowDetailed("Logic: Cannot open JEDEC file!", "", EMsgIcon::None, EMsgButtons::Ok, file.detail);
        return false;
    case CJedecFile::EResult::NoFuseMap:
        view_.SetStatus("Logic: JEDEC file: " + file.detail);
        Fail("Logic: Illegal JEDEC file format!");
        return false;
    case CJedecFile::EResult::BadRow:
        view_.SetStatus("Logic: JEDEC file " + file.detail);
        Fail("Illegal JEDEC file format!");
        return false;
    }
    return false;
}

bool CLogicProgrammer::BeginAccess()
{
    return frames_.LogicAccess(1) == kStatusOk || CommunicationFailed();
}

bool CLogicProgrammer::EndAccess()
{
    return frames_.LogicAccess(0) == kStatusOk || CommunicationFailed();
}

bool CLogicProgrammer::CheckDevice()
{
    uint8_t code = 0;
    if (frames_.LogicReadId(code) != kStatusOk)
        return CommunicationFailed();
    if (code != kLogicDeviceCode) {
        Fail("Logic: Unknown ispLSI device type!");
        return false;
    }
    return true;
}

bool CLogicProgrammer::Erase()
{
    view_.SetStatus("Logic: Erasing ...");
    return frames_.LogicErase() == kStatusOk || CommunicationFailed();
}

bool CLogicProgrammer::Program(const std::string& signatureText)
{
    view_.SetStatus("Logic: Programming ...");
    for (int row = 0; row < CJedecFile::kRows; ++row) {
        const int status = frames_.LogicProgramRow(static_cast<uint8_t>(row), map_[static_cast<size_t>(row)]);
        ShowRow(view_, "Logic: Programming ...", row);
        if (status != kStatusOk)
            return CommunicationFailed();
    }
    return frames_.LogicProgramUes(SignatureBits(signatureText)) == kStatusOk || CommunicationFailed();
}

bool CLogicProgrammer::Verify(const std::string& signatureText)
{
    view_.SetStatus("Logic: Verifying ...");
    std::string first, second;
    for (int row = 0; row < CJedecFile::kRows; ++row) {
        const int status = frames_.LogicReadRow(static_cast<uint8_t>(row), first, second);
        ShowRow(view_, "Logic: Verifying ...", row);
        if (status != kStatusOk)
            return CommunicationFailed();
        if (first != map_[static_cast<size_t>(row)]) {
            Fail("Logic: Fuse map programmed verification failed!");
            return false;
        }
        if (second != map_[static_cast<size_t>(row)]) {
            Fail("Logic: Fuse map erased verification failed!");
            return false;
        }
    }
    std::string ues;
    if (frames_.LogicReadUes(ues) != kStatusOk)
        return CommunicationFailed();
    if (ues != SignatureBits(signatureText)) {
        Fail("Logic: UES verify failed!");
        return false;
    }
    return true;
}
