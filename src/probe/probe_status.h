#pragma once

#include <string>

// Status codes of the probe link. 0 is success; every error is negative.
// The codes from -1202 to -1210 and from -4101 to -4105 have fixed meanings
// that callers test for; the others are produced by our link library and
// only ever shown through their text.
enum EProbeStatus : int {
    kStatusOk = 0,
    kStatusBaudNotSupported = -1202,
    kStatusUnexpectedReply = -1205,
    kStatusCompareFailed = -1206,
    kStatusFirmwareFileBad = -1207,
    kStatusProbeEraseFailed = -1208,
    kStatusProbeProgramFailed = -1209,
    kStatusSetupReadBack = -1210,

    kStatusLinkNotOpen = -1220,
    kStatusBadChannel = -1221,
    kStatusPortOpenFailed = -1222,
    kStatusConnectionRefused = -1223,
    kStatusHostUnreachable = -1224,
    kStatusTimeout = -1225,
    kStatusConnectionLost = -1226,
    kStatusFramingError = -1227,
    kStatusReplyTooLong = -1228,
    kStatusInvalidArgument = -1229,
    kStatusTargetAccessError = -1230,
    kStatusNotSupported = -1231,
    kStatusStreamState = -1232,
    kStatusProtocolMismatch = -1233,
    kStatusInitListFailed = -1234,
    kStatusInitListDelay = -1235,
    kStatusStopped = -1236,
    kStatusProbeBusy = -1237, // the probe serves another host

    kStatusNoAlgorithmRam = -4101,
    kStatusInvalidMode = -4102,
    kStatusInvalidParameter = -4103,
    kStatusPageDataFailed = -4104,
    kStatusProgramFailedAt = -4105,
};

// A clear text for every code above; any other code gives
// "Unknown probe error %d".
std::string ProbeStatusText(int status);
