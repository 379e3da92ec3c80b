#pragma once

#include <string>

// The module-wide channel text of the probe library's interface: the link of
// the maker's library opens on the text last set here. Our own callers hand
// the project's channel text to the link directly; this copy is kept for the
// interface (see common/channel_text.h for the rule).
void SetChannelText(int channel, int baud, const std::string& ipAddress);
// The current channel text (empty until it is first set).
const std::string& GetChannelText();
