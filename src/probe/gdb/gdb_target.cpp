#include "probe/gdb/gdb_target.h"

#include "probe/gdb/gdb_packet_codec.h"
#include "probe/probe_status.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace {

std::string HexNumber(uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

// A reply that is no data: "E nn" from the target, nothing from a server
// that does not know the packet.
int StatusOfReply(const std::string& reply)
{
    if (reply.empty())
        return kStatusNotSupported;
    if (reply.size() == 3 && reply[0] == 'E')
        return kStatusTargetAccessError;
    return kStatusOk;
}

// A request from its parts (appended one by one: g++ 12 warns falsely on
// chains of string concatenations).
std::string Request(std::initializer_list<std::string_view> parts)
{
    std::string request;
    for (const std::string_view part : parts)
        request.append(part);
    return request;
}

bool IsStopReply(const std::string& reply)
{
    return !reply.empty() && (reply[0] == 'S' || reply[0] == 'T');
}

} // namespace

CGdbTarget::CGdbTarget(CGdbRemoteSession& session, int timeoutMs) : session_(session), timeoutMs_(timeoutMs) {}

int CGdbTarget::Exchange(const std::string& request, std::string& reply)
{
    return session_.Transact(request, reply, timeoutMs_);
}

int CGdbTarget::ExpectOk(const std::string& request)
{
    std::string reply;
    int status = Exchange(request, reply);
    if (status != kStatusOk)
        return status;
    status = StatusOfReply(reply);
    if (status != kStatusOk)
        return status;
    return reply == "OK" ? kStatusOk : kStatusUnexpectedReply;
}

int CGdbTarget::Attach()
{
    std::string reply;
    int status = Exchange("qSupported:xmlRegisters=arm", reply);
    if (status != kStatusOk)
        return status;
    const size_t at = reply.find("PacketSize=");
    if (at != std::string::npos) {
        uint32_t size = 0;
        const char* first = reply.data() + at + 11;
        const auto [end, ec] = std::from_chars(first, reply.data() + reply.size(), size, 16);
        // Room for "M", the address, the length, ":" and the checksum frame.
        if (ec == std::errc() && end != first && size >= 64)
            maxBlock_ = std::min<uint32_t>((size - 32) / 2, 16384);
    }

    status = Exchange("?", reply);
    if (status != kStatusOk)
        return status;
    if (!IsStopReply(reply)) {
        // Running (or an answer we cannot read): ask it to stop.
        status = session_.Interrupt(timeoutMs_);
        if (status == kStatusOk)
            status = session_.Receive(reply, timeoutMs_);
        if (status != kStatusOk)
            return status;
        if (!IsStopReply(reply))
            return kStatusUnexpectedReply;
    }

    std::string document;
    status = ReadDescriptionFile("target.xml", document);
    if (status != kStatusOk)
        return status;
    int fetchStatus = kStatusOk;
    const bool parsed = description_.Parse(document, [this, &fetchStatus](const std::string& annex, std::string& text) {
        fetchStatus = ReadDescriptionFile(annex, text);
        return fetchStatus == kStatusOk;
    });
    if (!parsed)
        return fetchStatus != kStatusOk ? fetchStatus : kStatusUnexpectedReply;
    return kStatusOk;
}

int CGdbTarget::ReadDescriptionFile(const std::string& annex, std::string& text)
{
    // Annex names come from the server; keep them to a plain file name.
    if (annex.empty() || annex.size() > 64 || annex.find_first_of(":#$}*") != std::string::npos)
        return kStatusUnexpectedReply;
    text.clear();
    constexpr size_t kMaxDescription = 256 * 1024;
    for (;;) {
        std::string reply;
        const int status = Exchange(Request({"qXfer:features:read:", annex, ":", HexNumber(uint32_t(text.size())), ",",
                                              HexNumber(maxBlock_)}),
                                    reply);
        if (status != kStatusOk)
            return status;
        if (reply.empty())
            return kStatusNotSupported;
        if (reply[0] != 'm' && reply[0] != 'l')
            return StatusOfReply(reply) != kStatusOk ? StatusOfReply(reply) : kStatusUnexpectedReply;
        text.append(reply, 1);
        if (text.size() > kMaxDescription)
            return kStatusReplyTooLong;
        if (reply[0] == 'l')
            return kStatusOk;
        if (reply.size() == 1)
            return kStatusUnexpectedReply;  // "more" with nothing in it would never end
    }
}

int CGdbTarget::ReadMemory(uint32_t address, uint32_t length, uint8_t* buffer)
{
    uint32_t done = 0;
    while (done < length) {
        const uint32_t part = std::min(length - done, maxBlock_);
        std::string reply;
        int status = Exchange(Request({"m", HexNumber(address + done), ",", HexNumber(part)}), reply);
        if (status != kStatusOk)
            return status;
        status = StatusOfReply(reply);
        if (status != kStatusOk)
            return status;
        if (!CGdbPacketCodec::FromHex(reply, buffer + done, part))
            return kStatusUnexpectedReply;
        done += part;
    }
    return kStatusOk;
}

int CGdbTarget::WriteMemory(uint32_t address, uint32_t length, const uint8_t* bytes)
{
    uint32_t done = 0;
    while (done < length) {
        const uint32_t part = std::min(length - done, maxBlock_);
        const int status = ExpectOk(Request({"M", HexNumber(address + done), ",", HexNumber(part), ":",
                                             CGdbPacketCodec::Hex(bytes + done, part)}));
        if (status != kStatusOk)
            return status;
        done += part;
    }
    return kStatusOk;
}

int CGdbTarget::RegisterOf(std::string_view name, uint32_t& number)
{
    const CGdbTargetDescription::SRegister* reg = description_.Find(name);
    if (!reg || reg->bits > 32)
        return kStatusInvalidArgument;
    number = reg->number;
    return kStatusOk;
}

int CGdbTarget::ReadRegister(std::string_view name, uint32_t& value)
{
    uint32_t number = 0;
    int status = RegisterOf(name, number);
    if (status != kStatusOk)
        return status;
    std::string reply;
    status = Exchange(Request({"p", HexNumber(number)}), reply);
    if (status != kStatusOk)
        return status;
    status = StatusOfReply(reply);
    if (status != kStatusOk)
        return status;
    const uint32_t bytes = description_.Find(name)->bits / 8;
    uint8_t raw[4] = {};
    if (!CGdbPacketCodec::FromHex(reply, raw, bytes))
        return kStatusUnexpectedReply;
    value = 0;
    for (uint32_t i = 0; i < bytes; ++i)
        value |= uint32_t(raw[bigEndian_ ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
    return kStatusOk;
}

int CGdbTarget::WriteRegister(std::string_view name, uint32_t value)
{
    uint32_t number = 0;
    const int status = RegisterOf(name, number);
    if (status != kStatusOk)
        return status;
    const uint32_t bytes = description_.Find(name)->bits / 8;
    uint8_t raw[4] = {};
    for (uint32_t i = 0; i < bytes; ++i)
        raw[bigEndian_ ? bytes - 1 - i : i] = uint8_t(value >> (8 * i));
    return ExpectOk(Request({"P", HexNumber(number), "=", CGdbPacketCodec::Hex(raw, bytes)}));
}

int CGdbTarget::Monitor(std::string_view command, std::string& output)
{
    std::string reply;
    int status = session_.Transact(Request({"qRcmd,", CGdbPacketCodec::Hex(command)}), reply, timeoutMs_, &output);
    if (status != kStatusOk)
        return status;
    status = StatusOfReply(reply);
    if (status != kStatusOk)
        return status;
    if (reply == "OK")
        return kStatusOk;
    // A server may answer with the output itself, hexadecimal, instead of
    // console packets.
    std::string text(reply.size() / 2, '\0');
    if (reply.size() % 2 != 0 ||
        !CGdbPacketCodec::FromHex(reply, reinterpret_cast<uint8_t*>(text.data()), text.size()))
        return kStatusUnexpectedReply;
    output += text;
    return kStatusOk;
}

int CGdbTarget::UsePhysicalBusCycles()
{
    return ExpectOk("Qqemu.PhyMemMode:1");
}

int CGdbTarget::InsertBreakpoint(uint32_t address)
{
    return ExpectOk(Request({"Z0,", HexNumber(address), ",4"}));
}

int CGdbTarget::RemoveBreakpoint(uint32_t address)
{
    return ExpectOk(Request({"z0,", HexNumber(address), ",4"}));
}

int CGdbTarget::Continue(int timeoutMs, std::string& stop)
{
    int status = session_.Send("c", timeoutMs_);
    if (status != kStatusOk)
        return status;
    status = session_.Receive(stop, timeoutMs);
    if (status == kStatusTimeout) {
        // Still running: stop it, so the target is halted whatever happens.
        if (session_.Interrupt(timeoutMs_) == kStatusOk)
            session_.Receive(stop, timeoutMs_);
        return kStatusTimeout;
    }
    if (status != kStatusOk)
        return status;
    return IsStopReply(stop) ? kStatusOk : kStatusUnexpectedReply;
}
