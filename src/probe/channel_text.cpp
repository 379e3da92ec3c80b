#include "probe/channel_text.h"

#include "common/channel_text.h"

namespace {

std::string& ChannelText()
{
    static std::string text;
    return text;
}

} // namespace

void SetChannelText(int channel, int baud, const std::string& ipAddress)
{
    ChannelText() = ChannelTextFor(ChannelText(), channel, baud, ipAddress);
}

const std::string& GetChannelText()
{
    return ChannelText();
}
