#include "probe/probe_status.h"

#include "common/text_format.h"

std::string ProbeStatusText(int status)
{
    switch (status) {
    case kStatusOk: return "No error.";
    case kStatusBaudNotSupported: return "Baud rate not supported by this computer.";
    case kStatusUnexpectedReply: return "Unexpected reply from the probe.";
    case kStatusCompareFailed: return "Compare or program failure in target memory.";
    case kStatusFirmwareFileBad: return "Firmware file missing or bad.";
    case kStatusProbeEraseFailed: return "The probe failed to erase its flash memory.";
    case kStatusProbeProgramFailed: return "The probe failed to program its flash memory.";
    case kStatusSetupReadBack: return "The probe's setup record read back differently.";
    case kStatusLinkNotOpen: return "The link to the probe is not open.";
    case kStatusBadChannel: return "Invalid communication channel.";
    case kStatusPortOpenFailed: return "Cannot open the communication port.";
    case kStatusConnectionRefused: return "The probe refused the connection.";
    case kStatusHostUnreachable: return "The probe's network address cannot be reached.";
    case kStatusTimeout: return "The probe did not answer in time.";
    case kStatusConnectionLost: return "The connection to the probe was lost.";
    case kStatusFramingError: return "Framing error on the link to the probe (corrupted data).";
    case kStatusReplyTooLong: return "The probe's reply is longer than the reply buffer.";
    case kStatusInvalidArgument: return "Invalid argument for a probe operation.";
    case kStatusTargetAccessError: return "Target memory access failed (no memory at that address).";
    case kStatusNotSupported: return "The program running on the probe does not support this command.";
    case kStatusStreamState: return "Program or verify stream used out of order.";
    case kStatusProtocolMismatch: return "The probe speaks another version of the link protocol.";
    case kStatusInitListFailed: return "The probe could not run the init list.";
    case kStatusStopped: return "Stopped on request.";
    case kStatusProbeBusy: return "The probe is busy with another host.";
    case kStatusInitListDelay:
        return "An init list waits too long: each delay or run time must stay below 30000 ms, and a list may wait "
               "no more than 600 seconds in all.";
    case kStatusNoAlgorithmRam: return "RAM for algorithm code not present.";
    case kStatusInvalidMode: return "Invalid write or erase mode.";
    case kStatusInvalidParameter: return "Invalid parameter.";
    case kStatusPageDataFailed: return "Loading page data failed.";
    case kStatusProgramFailedAt: return "Programming target memory failed!";
    default: return Format("Unknown probe error %d.", status);
    }
}
