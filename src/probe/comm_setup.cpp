#include "probe/comm_setup.h"

#include "common/text_format.h"
#include "probe/channel_text.h"
#include "probe/probe_library.h"
#include "probe/probe_status.h"

bool CCommSetup::ControlsValid(const SCommSettings& settings)
{
    return settings.channel >= 0 && settings.channel <= kNetworkChannel && settings.baud >= 0 &&
           settings.baud <= kMaxBaudIndex && settings.ipAddress.size() <= kMaxIpLength;
}

bool CCommSetup::Accept(const SCommSettings& settings)
{
    if (settings.channel == kNetworkChannel) {
        if (library_.LinkParseAddress(settings.ipAddress) == -1) {
            box_.Show("Invalid IP address!", "", EMsgIcon::Exclamation, EMsgButtons::Ok);
            return false;
        }
        return true;
    }
    const int status = library_.LinkCheckSerialPort(settings.channel, settings.baud);
    if (status == kStatusOk)
        return true;
    box_.Show(status == kStatusBaudNotSupported ? "Selected baudrate not supported on this computer!"
                                                : "Cannot open communication port!",
              "", EMsgIcon::Exclamation, EMsgButtons::Ok);
    return false;
}

bool CCommSetup::TestLink(const SCommSettings& settings, COperationView& view, const std::string& channelOverride)
{
    if (!ControlsValid(settings))
        return false;
    int status = kStatusOk;
    {
        CWaitCursor cursor(view);
        SetChannelText(settings.channel, settings.baud, settings.ipAddress);
        status = library_.LinkOpen(channelOverride.empty() ? GetChannelText() : channelOverride);
        // Closed on both paths: a failed open leaves nothing worth keeping.
        library_.LinkClose();
    }
    if (status == kStatusOk) {
        box_.Show("Link to QDX successful tested!", "Communication Test", EMsgIcon::Information, EMsgButtons::Ok);
        return true;
    }
    box_.Show(Format("Link test failed with error %i\n%s", status, library_.LinkErrorText(status).c_str()),
              "Communication Test", EMsgIcon::Exclamation, EMsgButtons::Ok);
    return false;
}
