#pragma once

#include <string>

// The channel text names the link to the probe: "COM<n> <baud>" for a serial
// port or "NETWORK <ip> 1" for the network. The link opens on it.
//
// The text that follows `current` for the channel settings: channel 0..3 is
// COM1..COM4 with the baud text of index 0..4 (9600 .. 115200; another index
// leaves "COM<n>" alone); 4 is "NETWORK <ip> 1"; 5 is "NETWORK <ip> 2"; any
// other channel keeps `current`.
std::string ChannelTextFor(const std::string& current, int channel, int baud, const std::string& ipAddress);
