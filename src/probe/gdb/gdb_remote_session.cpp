#include "probe/gdb/gdb_remote_session.h"

#include "probe/gdb/gdb_packet_codec.h"
#include "probe/probe_status.h"

namespace {

// "O" followed by hexadecimal text: output of the target or of a monitor
// command, not a reply ("OK" is one).
bool IsConsoleOutput(const std::string& payload)
{
    if (payload.size() < 3 || payload[0] != 'O' || (payload.size() - 1) % 2 != 0)
        return false;
    for (size_t i = 1; i < payload.size(); ++i) {
        if (CGdbPacketCodec::HexDigit(payload[i]) < 0)
            return false;
    }
    return true;
}

} // namespace

CGdbRemoteSession::CGdbRemoteSession(std::unique_ptr<CLinkTransport> transport, CClock& clock)
    : transport_(std::move(transport)), clock_(clock)
{
}

uint64_t CGdbRemoteSession::DeadlineAfter(int timeoutMs)
{
    return clock_.NowMicros() + uint64_t(timeoutMs > 0 ? timeoutMs : 0) * 1000;
}

int CGdbRemoteSession::WriteBytes(std::string_view bytes, uint64_t deadline)
{
    const long written = transport_->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), deadline);
    if (written < 0)
        return static_cast<int>(written);
    return static_cast<size_t>(written) == bytes.size() ? kStatusOk : kStatusTimeout;
}

int CGdbRemoteSession::NextEvent(EEvent& event, std::string& payload, uint64_t deadline)
{
    // A packet is at most its payload escaped twice over plus its frame.
    constexpr size_t kMaxRaw = 2 * kMaxPayload + 4;
    for (;;) {
        size_t start = 0;
        while (start < pending_.size() && pending_[start] != '+' && pending_[start] != '-' && pending_[start] != '$')
            ++start;
        pending_.erase(0, start);
        if (!pending_.empty() && pending_[0] != '$') {
            event = pending_[0] == '+' ? EEvent::Ack : EEvent::Nak;
            pending_.erase(0, 1);
            return kStatusOk;
        }
        if (!pending_.empty()) {
            const size_t hash = pending_.find('#');
            if (hash != std::string::npos && hash + 2 < pending_.size()) {
                const std::string_view raw = std::string_view(pending_).substr(1, hash - 1);
                const int hi = CGdbPacketCodec::HexDigit(pending_[hash + 1]);
                const int lo = CGdbPacketCodec::HexDigit(pending_[hash + 2]);
                const bool sumOk = hi >= 0 && lo >= 0 && CGdbPacketCodec::Checksum(raw) == (hi << 4 | lo);
                const bool formOk = sumOk && CGdbPacketCodec::Expand(raw, payload, kMaxPayload);
                pending_.erase(0, hash + 3);
                event = formOk ? EEvent::Packet : EEvent::BadPacket;
                return kStatusOk;
            }
            if (pending_.size() > kMaxRaw) {
                pending_.clear();
                return kStatusReplyTooLong;
            }
        }
        uint8_t buffer[4096];
        const long got = transport_->Read(buffer, sizeof buffer, deadline);
        if (got < 0)
            return static_cast<int>(got);
        if (got == 0)
            return kStatusTimeout;
        pending_.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
    }
}

int CGdbRemoteSession::Send(std::string_view request, int timeoutMs)
{
    const std::string framed = CGdbPacketCodec::Frame(request);
    int failure = kStatusTimeout;
    for (int attempt = 0; attempt <= kMaxRetries; ++attempt) {
        if (attempt > 0)
            ++retries_;
        const uint64_t deadline = DeadlineAfter(timeoutMs);
        int status = WriteBytes(framed, deadline);
        if (status != kStatusOk)
            return status;
        for (;;) {
            EEvent event{};
            std::string stale;
            status = NextEvent(event, stale, deadline);
            if (status == kStatusTimeout) {
                failure = kStatusTimeout;
                break;  // not acknowledged in time: send it again
            }
            if (status != kStatusOk)
                return status;
            if (event == EEvent::Ack)
                return kStatusOk;
            if (event == EEvent::Nak) {
                failure = kStatusFramingError;  // the server saw our bytes damaged
                break;
            }
            // A packet before the acknowledgement answers nothing of ours (a
            // stop that came late): take it so the server does not send it
            // again, and wait on.
            status = WriteBytes(event == EEvent::Packet ? "+" : "-", deadline);
            if (status != kStatusOk)
                return status;
        }
    }
    return failure;
}

int CGdbRemoteSession::Receive(std::string& reply, int timeoutMs, std::string* output)
{
    int badPackets = 0;
    uint64_t deadline = DeadlineAfter(timeoutMs);
    for (;;) {
        EEvent event{};
        int status = NextEvent(event, reply, deadline);
        if (status != kStatusOk)
            return status;
        if (event == EEvent::Ack || event == EEvent::Nak)
            continue;  // a repeated acknowledgement of our request
        if (event == EEvent::BadPacket) {
            if (++badPackets > kMaxRetries)
                return kStatusFramingError;
            ++retries_;
            status = WriteBytes("-", deadline);
            if (status != kStatusOk)
                return status;
            continue;
        }
        status = WriteBytes("+", deadline);
        if (status != kStatusOk)
            return status;
        if (IsConsoleOutput(reply)) {
            if (output) {
                std::string text((reply.size() - 1) / 2, '\0');
                CGdbPacketCodec::FromHex(std::string_view(reply).substr(1),
                                         reinterpret_cast<uint8_t*>(text.data()), text.size());
                output->append(text);
            }
            deadline = DeadlineAfter(timeoutMs);  // the server is alive: wait the whole time again
            continue;
        }
        return kStatusOk;
    }
}

int CGdbRemoteSession::Transact(std::string_view request, std::string& reply, int timeoutMs, std::string* output)
{
    const int status = Send(request, timeoutMs);
    if (status != kStatusOk)
        return status;
    return Receive(reply, timeoutMs, output);
}

int CGdbRemoteSession::Interrupt(int timeoutMs)
{
    return WriteBytes(std::string_view("\x03", 1), DeadlineAfter(timeoutMs));
}
