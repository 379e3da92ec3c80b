#pragma once

#include <string>

// The channel text: the one module-wide text that names the link to the probe,
// "COM<n> <baud>" for a serial port or "NETWORK <ip> 1" for the network. It is
// rebuilt from the project's channel settings when a project is created or
// read and after the communication setup closes; the link opens on it.

// channel 0..3: COM1..COM4 with the baud text of index 0..4 (9600 .. 115200;
// another index leaves "COM<n>" alone); 4: "NETWORK <ip> 1"; 5: "NETWORK <ip>
// 2"; any other channel leaves the text unchanged.
void SetChannelText(int channel, int baud, const std::string& ipAddress);
// The current channel text (empty until it is first set).
const std::string& GetChannelText();
