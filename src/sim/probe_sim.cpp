#include "sim/probe_sim.h"

#include "probe/probe_frames.h"
#include "probe/probe_status.h"
#include "probe/link/wire_payload.h"

namespace {

SSimLoaderConfig LoaderConfigOf(const SProbeSimConfig& config)
{
    SSimLoaderConfig loader;
    loader.loaderVersion = config.loaderVersion;
    loader.firmwareVersion = config.firmwareVersion;
    loader.logicVersion = config.logicVersion;
    loader.serialNumber = config.serialNumber;
    loader.logicDeviceCode = config.logicDeviceCode;
    loader.stuckFuseRow = config.stuckFuseRow;
    loader.stuckFuse = config.stuckFuse;
    loader.weakFuseRow = config.weakFuseRow;
    loader.weakFuse = config.weakFuse;
    loader.stuckUesFuse = config.stuckUesFuse;
    loader.weakSetupByte = config.weakSetupByte;
    return loader;
}

SSimFirmwareConfig FirmwareConfigOf(const SProbeSimConfig& config)
{
    SSimFirmwareConfig firmware;
    firmware.firmwareKind = config.firmwareKind;
    firmware.firmwareVersion = config.firmwareVersion;
    firmware.serialNumber = config.serialNumber;
    return firmware;
}

bool IsLoaderCommand(uint8_t code)
{
    return code >= kCmdLoaderIdentify && code <= kCmdStartFirmware;
}

} // namespace

CProbeSim::CProbeSim(CSimBoard& board, const SProbeSimConfig& config)
    : board_(board),
      config_(config),
      loader_(LoaderConfigOf(config)),
      firmware_(board, FirmwareConfigOf(config), abort_),
      loaderRunning_(config.startInLoader)
{
}

SWirePacket CProbeSim::Handle(const SWirePacket& request)
{
    SWirePacket reply;
    reply.op = request.op;
    reply.flags = kWireFlagReply;
    reply.sequence = request.sequence;
    CWireWriter out;
    switch (request.op) {
    case kOpHello: {
        CWireReader in(request.payload);
        in.U16();
        if (!in.Done())
            out.I32(kStatusInvalidArgument);
        else
            out.I32(kStatusOk).U16(kWireProtocolVersion).U8(loaderRunning_ ? 0 : 1);
        break;
    }
    case kOpTransact:
        Transact(request.payload, out);
        break;
    default:
        Operation(request.op, request.payload, out);
        break;
    }
    reply.payload = std::move(out.bytes);
    return reply;
}

void CProbeSim::Transact(const std::vector<uint8_t>& payload, CWireWriter& out)
{
    CWireReader in(payload);
    in.U16();  // the host's reply capacity: the host checks the length itself
    const size_t length = in.Remaining();
    const uint8_t* frame = in.Bytes(length);
    if (!frame || length == 0) {
        out.I32(kStatusInvalidArgument);
        return;
    }
    const uint8_t code = frame[0];
    std::vector<uint8_t> reply;
    bool handled = false;
    if (IsLoaderCommand(code)) {
        if (!loaderRunning_ && code == kCmdLoaderIdentify)
            loaderRunning_ = true;  // the firmware hands the probe back to its loader
        if (loaderRunning_) {
            handled = loader_.HandleCommand(frame, length, reply);
            if (handled && code == kCmdStartFirmware && loader_.FirmwareStartable()) {
                loaderRunning_ = false;
                firmware_.Reset();
            }
        } else if (code == kCmdStartFirmware) {
            reply = {kCmdStartFirmware, 0};  // already running
            handled = true;
        }
    } else if (!loaderRunning_) {
        handled = firmware_.HandleCommand(frame, length, reply);
    }
    if (!handled) {
        out.I32(kStatusNotSupported);
        return;
    }
    out.I32(kStatusOk).Bytes(reply.data(), reply.size());
}

void CProbeSim::Operation(uint8_t op, const std::vector<uint8_t>& payload, CWireWriter& out)
{
    CWireReader in(payload);
    if (loaderRunning_) {
        if (op == kOpTargetConnect && in.Done())
            out.I32(kStatusOk).U16(kFirmwareKindLoader).U16(config_.loaderVersion).Text8(config_.serialNumber);
        else if (op == kOpTargetDisconnect)
            out.I32(kStatusOk);
        else if (op == kOpStreamBlock || op == kOpStreamEnd)
            out.I32(kStatusNotSupported).U32(0);
        else
            out.I32(kStatusNotSupported);
        return;
    }
    if (!firmware_.HandleOperation(op, in, out))
        out.I32(kStatusNotSupported);
}
