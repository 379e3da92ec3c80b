#include "probe/probe_frames.h"

#include "probe/probe_status.h"

int CProbeFrames::Transact(size_t length, int timeoutMs)
{
    return library_.LinkTransact(static_cast<int>(length), request_.data(), static_cast<int>(kFrameBufferSize),
                                 reply_.data(), timeoutMs);
}

int CProbeFrames::SendAny(size_t length, int timeoutMs)
{
    const int n = Transact(length, timeoutMs);
    return n < 0 ? n : kStatusOk;
}

int CProbeFrames::FlashStatus(uint8_t status)
{
    switch (status) {
    case 0: return kStatusOk;
    case 1: return kStatusInvalidMode;
    case 3: return kStatusNoAlgorithmRam;
    case 4: return kStatusInvalidParameter;
    default: return kStatusUnexpectedReply;
    }
}

int CProbeFrames::LoaderIdentify(SLoaderIdentity& identity)
{
    const size_t length = PutU8(request_.data(), 0, kCmdLoaderIdentify);
    const int n = Transact(length, kLoaderIdentifyTimeoutMs);
    if (n < 0)
        return n;
    // Code, three u16 versions, the serial number's length and characters.
    if (n < 8 || TakeU8(reply_.data(), 0) != kCmdLoaderIdentify || n != 8 + TakeU8(reply_.data(), 7))
        return kStatusUnexpectedReply;
    identity.loaderVersion = TakeU16(reply_.data(), 1);
    identity.firmwareVersion = TakeU16(reply_.data(), 3);
    identity.logicVersion = TakeU16(reply_.data(), 5);
    identity.serialNumber.assign(reinterpret_cast<const char*>(reply_.data() + 8), TakeU8(reply_.data(), 7));
    return kStatusOk;
}

int CProbeFrames::ReadProbeMemory(uint32_t address, uint16_t length, uint8_t* data)
{
    if (length > kMaxProbeMemoryData || (length > 0 && !data))
        return kStatusInvalidArgument;
    size_t pos = PutU8(request_.data(), 0, kCmdReadProbeMemory);
    pos = PutU32(request_.data(), pos, address);
    pos = PutU16(request_.data(), pos, length);
    const int n = Transact(pos, kReadProbeMemoryTimeoutMs);
    if (n < 0)
        return n;
    if (n != length + 7 || TakeU8(reply_.data(), 0) != kCmdReadProbeMemory)
        return kStatusUnexpectedReply;
    for (size_t i = 0; i < length; ++i)
        data[i] = reply_[7 + i];
    return kStatusOk;
}

int CProbeFrames::EraseProbeSector(uint32_t address)
{
    size_t pos = PutU8(request_.data(), 0, kCmdEraseProbeSector);
    pos = PutU32(request_.data(), pos, address);
    const int n = Transact(pos, kEraseProbeSectorTimeoutMs);
    if (n < 0)
        return n;
    if (n != 2 || TakeU8(reply_.data(), 0) != kCmdEraseProbeSector)
        return kStatusUnexpectedReply;
    return TakeU8(reply_.data(), 1) == 0 ? kStatusOk : kStatusProbeEraseFailed;
}

int CProbeFrames::ProgramProbeMemory(uint32_t address, uint16_t length, const uint8_t* data, uint32_t& value)
{
    if (length > kMaxProbeMemoryData || (length > 0 && !data))
        return kStatusInvalidArgument;
    size_t pos = PutU8(request_.data(), 0, kCmdProgramProbeMemory);
    pos = PutU32(request_.data(), pos, address);
    pos = PutU16(request_.data(), pos, length);
    pos = PutBytes(request_.data(), pos, data, length);
    const int n = Transact(pos, kProgramProbeMemoryTimeoutMs);
    if (n < 0)
        return n;
    if (n != 6 || TakeU8(reply_.data(), 0) != kCmdProgramProbeMemory)
        return kStatusUnexpectedReply;
    value = TakeU32(reply_.data(), 2);
    return TakeU8(reply_.data(), 1) == 0 ? kStatusOk : kStatusProbeProgramFailed;
}

int CProbeFrames::LogicAccess(uint8_t flag)
{
    size_t pos = PutU8(request_.data(), 0, kCmdLogicAccess);
    pos = PutU8(request_.data(), pos, flag);
    return SendAny(pos, kLogicShortTimeoutMs);
}

int CProbeFrames::LogicReadId(uint8_t& deviceCode)
{
    const size_t pos = PutU8(request_.data(), 0, kCmdLogicReadId);
    const int n = Transact(pos, kLogicShortTimeoutMs);
    if (n < 0)
        return n;
    // The reply is otherwise not checked, but its byte 1 must be there to be
    // handed over.
    if (n < 2)
        return kStatusUnexpectedReply;
    deviceCode = TakeU8(reply_.data(), 1);
    return kStatusOk;
}

int CProbeFrames::LogicReadRow(uint8_t row, std::string& firstRead, std::string& secondRead)
{
    size_t pos = PutU8(request_.data(), 0, kCmdLogicReadRow);
    pos = PutU8(request_.data(), pos, row);
    const int n = Transact(pos, kLogicShortTimeoutMs);
    if (n < 0)
        return n;
    if (n != static_cast<int>(1 + 2 * kLogicRowFuses))
        return kStatusUnexpectedReply;
    const char* text = reinterpret_cast<const char*>(reply_.data());
    firstRead.assign(text + 1, kLogicRowFuses);
    secondRead.assign(text + 1 + kLogicRowFuses, kLogicRowFuses);
    return kStatusOk;
}

int CProbeFrames::LogicProgramRow(uint8_t row, const std::string& fuses)
{
    if (fuses.size() != kLogicRowFuses)
        return kStatusInvalidArgument;
    size_t pos = PutU8(request_.data(), 0, kCmdLogicProgramRow);
    pos = PutU8(request_.data(), pos, row);
    pos = PutBytes(request_.data(), pos, reinterpret_cast<const uint8_t*>(fuses.data()), fuses.size());
    return SendAny(pos, kLogicProgramTimeoutMs);
}

int CProbeFrames::LogicReadUes(std::string& ues)
{
    const size_t pos = PutU8(request_.data(), 0, kCmdLogicReadUes);
    const int n = Transact(pos, kLogicShortTimeoutMs);
    if (n < 0)
        return n;
    if (n != static_cast<int>(1 + kLogicUesFuses))
        return kStatusUnexpectedReply;
    ues.assign(reinterpret_cast<const char*>(reply_.data()) + 1, kLogicUesFuses);
    return kStatusOk;
}

int CProbeFrames::LogicProgramUes(const std::string& ues)
{
    if (ues.size() != kLogicUesFuses)
        return kStatusInvalidArgument;
    size_t pos = PutU8(request_.data(), 0, kCmdLogicProgramUes);
    pos = PutBytes(request_.data(), pos, reinterpret_cast<const uint8_t*>(ues.data()), ues.size());
    return SendAny(pos, kLogicProgramTimeoutMs);
}

int CProbeFrames::LogicErase()
{
    return SendAny(PutU8(request_.data(), 0, kCmdLogicErase), kLogicEraseTimeoutMs);
}

int CProbeFrames::StartFirmware()
{
    return SendAny(PutU8(request_.data(), 0, kCmdStartFirmware), kStartFirmwareTimeoutMs);
}

int CProbeFrames::StartProgramming()
{
    return SendAny(PutU8(request_.data(), 0, kCmdStartProgramming), kStartProgrammingTimeoutMs);
}

int CProbeFrames::FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t p3)
{
    size_t pos = PutU8(request_.data(), 0, kCmdFlashSetup);
    pos = PutU8(request_.data(), pos, algorithm);
    pos = PutU8(request_.data(), pos, busWidth);
    pos = PutU32(request_.data(), pos, p1);
    pos = PutU32(request_.data(), pos, p2);
    pos = PutU32(request_.data(), pos, p3);
    const int n = Transact(pos, kFlashTimeoutMs);
    if (n < 0)
        return n;
    if (n != 2 || TakeU8(reply_.data(), 0) != kCmdFlashSetup)
        return kStatusUnexpectedReply;
    return FlashStatus(TakeU8(reply_.data(), 1));
}

int CProbeFrames::FlashErase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4)
{
    size_t pos = PutU8(request_.data(), 0, kCmdFlashErase);
    pos = PutU8(request_.data(), pos, algorithm);
    pos = PutU8(request_.data(), pos, mode);
    pos = PutU32(request_.data(), pos, p1);
    pos = PutU32(request_.data(), pos, p2);
    pos = PutU32(request_.data(), pos, p3);
    pos = PutU32(request_.data(), pos, p4);
    const int n = Transact(pos, kFlashTimeoutMs);
    if (n < 0)
        return n;
    if (n != 2 || TakeU8(reply_.data(), 0) != kCmdFlashErase)
        return kStatusUnexpectedReply;
    return FlashStatus(TakeU8(reply_.data(), 1));
}

int CProbeFrames::FlashEraseStatus(uint8_t& state, uint32_t& value)
{
    const int n = Transact(PutU8(request_.data(), 0, kCmdFlashEraseStatus), kFlashTimeoutMs);
    if (n < 0)
        return n;
    if (n != 6 || TakeU8(reply_.data(), 0) != kCmdFlashEraseStatus)
        return kStatusUnexpectedReply;
    state = TakeU8(reply_.data(), 1);
    value = TakeU32(reply_.data(), 2);
    return kStatusOk;
}
