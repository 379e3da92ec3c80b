#include "probe/channel_text.h"

namespace {

std::string& ChannelText()
{
    static std::string text;
    return text;
}

} // namespace

void SetChannelText(int channel, int baud, const std::string& ipAddress)
{
    static const char* const kBaudTexts[] = {" 9600", " 19200", " 38400", " 57600", " 115200"};
    if (channel >= 0 && channel <= 3) {
        std::string text = "COM";
        text += static_cast<char>('1' + channel);
        if (baud >= 0 && baud <= 4)
            text += kBaudTexts[baud];
        ChannelText() = text;
    } else if (channel == 4 || channel == 5) {
        ChannelText() = "NETWORK " + ipAddress + (channel == 4 ? " 1" : " 2");
    }
}

const std::string& GetChannelText()
{
    return ChannelText();
}
