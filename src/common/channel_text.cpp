#include "common/channel_text.h"

std::string ChannelTextFor(const std::string& current, int channel, int baud, const std::string& ipAddress)
{
    static const char* const kBaudTexts[] = {" 9600", " 19200", " 38400", " 57600", " 115200"};
    if (channel >= 0 && channel <= 3) {
        std::string text = "COM";
        text += static_cast<char>('1' + channel);
        if (baud >= 0 && baud <= 4)
            text += kBaudTexts[baud];
        return text;
    }
    if (channel == 4 || channel == 5)
        return "NETWORK " + ipAddress + (channel == 4 ? " 1" : " 2");
    return current;
}
