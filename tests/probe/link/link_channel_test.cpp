#include "probe/link/link_channel.h"
#include "probe/link/link_library.h"
#include "probe/probe_status.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

TEST(LinkChannel, ChannelTexts)
{
    const struct {
        const char* text;
        int status;
        SLinkChannel::EKind kind;
        int com;
        long baud;
        const char* host;
        uint16_t port;
    } table[] = {
        {"COM1 9600", 0, SLinkChannel::EKind::Serial, 1, 9600, "", 0},
        {"COM4 115200", 0, SLinkChannel::EKind::Serial, 4, 115200, "", 0},
        {"COM2", kStatusBaudNotSupported, SLinkChannel::EKind::Serial, 2, 0, "", 0},
        {"COM2 0", kStatusBaudNotSupported, SLinkChannel::EKind::Serial, 2, 0, "", 0},
        {"COM2 fast", kStatusBadChannel, {}, 0, 0, "", 0},
        {"COM0 9600", kStatusBadChannel, {}, 0, 0, "", 0},
        {"COMX 9600", kStatusBadChannel, {}, 0, 0, "", 0},
        {"NETWORK 192.168.1.10 1", 0, SLinkChannel::EKind::Network, 0, 0, "192.168.1.10", 0},
        {"NETWORK 192.168.1.10 2", 0, SLinkChannel::EKind::Network, 0, 0, "192.168.1.10", 0},
        {"NETWORK 127.0.0.1:5000 1", 0, SLinkChannel::EKind::Network, 0, 0, "127.0.0.1", 5000},
        {"NETWORK probe-7.lab:17001", 0, SLinkChannel::EKind::Network, 0, 0, "probe-7.lab", 17001},
        {"NETWORK 10.0.0.1 3", kStatusBadChannel, {}, 0, 0, "", 0},
        {"NETWORK 10.0.0.1:0 1", kStatusBadChannel, {}, 0, 0, "", 0},
        {"NETWORK 10.0.0.1:70000 1", kStatusBadChannel, {}, 0, 0, "", 0},
        {"NETWORK  1", kStatusBadChannel, {}, 0, 0, "", 0},
        {"NETWORK a/b 1", kStatusBadChannel, {}, 0, 0, "", 0},
        {"", kStatusBadChannel, {}, 0, 0, "", 0},
        {"USB", kStatusBadChannel, {}, 0, 0, "", 0},
    };
    for (const auto& row : table) {
        SLinkChannel channel;
        EXPECT_EQ(ParseLinkChannel(row.text, channel), row.status) << row.text;
        if (row.status != 0)
            continue;
        EXPECT_EQ(channel.kind, row.kind) << row.text;
        EXPECT_EQ(channel.comNumber, row.com) << row.text;
        EXPECT_EQ(channel.baud, row.baud) << row.text;
        EXPECT_EQ(channel.host, row.host) << row.text;
        EXPECT_EQ(channel.port, row.port) << row.text;
    }
}

TEST(LinkChannel, ParseAddressGivesMinusOneForInvalidTexts)
{
    CLinkLibrary library;
    EXPECT_EQ(library.LinkParseAddress("192.168.1.10"), static_cast<int32_t>(0xC0A8010A));
    EXPECT_EQ(library.LinkParseAddress("10.0.0.1"), 0x0A000001);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1.2.3.0004", "0.0.0.0", "1..2.3", " 1.2.3.4",
                            "1.2.3.4 ", "a.b.c.d", "1.2.3.-4", "255.255.255.255"})
        EXPECT_EQ(library.LinkParseAddress(bad), -1) << bad;
}

TEST(LinkChannel, BaudIndexes)
{
    EXPECT_EQ(BaudOfIndex(0), 9600);
    EXPECT_EQ(BaudOfIndex(4), 115200);
    EXPECT_EQ(BaudOfIndex(5), 0);
    EXPECT_EQ(BaudOfIndex(-1), 0);
}

TEST(LinkChannel, SerialDevicesAndTcpPortComeFromTheSettingsHandedIn)
{
    // The environment says otherwise, but the link reads only its settings.
    setenv("TARVEL_COM3", "/dev/pts/77", 1);
    setenv("TARVEL_PROBE_PORT", "18001", 1);
    CLinkLibrary library;
    EXPECT_EQ(library.SerialDevice(1), "/dev/ttyS0");
    EXPECT_EQ(library.SerialDevice(3), "/dev/ttyS2");
    EXPECT_EQ(library.SerialDevice(4), "/dev/ttyS3");
    EXPECT_EQ(library.SerialDevice(7), "/dev/ttyS6") << "a port without a setting keeps its device name";
    EXPECT_EQ(library.DefaultTcpPort(), 17000);
    unsetenv("TARVEL_COM3");
    unsetenv("TARVEL_PROBE_PORT");

    const std::map<std::string, std::string> environment = {{"TARVEL_COM3", "/dev/ttyUSB0"},
                                                            {"TARVEL_PROBE_PORT", "18002"}};
    CLinkLibrary configured(CSettings(nullptr, [&environment](const char* name) -> const char* {
        auto it = environment.find(name);
        return it == environment.end() ? nullptr : it->second.c_str();
    }));
    EXPECT_EQ(configured.SerialDevice(3), "/dev/ttyUSB0");
    EXPECT_EQ(configured.SerialDevice(2), "/dev/ttyS1");
    EXPECT_EQ(configured.DefaultTcpPort(), 18002);
    configured.Settings().Set(ESetting::SerialDevice2, "/dev/ttyACM0");
    configured.Settings().SetInt(ESetting::ProbePort, 18003);
    EXPECT_EQ(configured.SerialDevice(2), "/dev/ttyACM0");
    EXPECT_EQ(configured.DefaultTcpPort(), 18003);
}

TEST(LinkChannel, EveryCodeOfTheLibraryHasItsOwnText)
{
    CLinkLibrary library;
    std::set<std::string> texts;
    const int codes[] = {-1202, -1205, -1206, -1207, -1208, -1209, -1210, -1220, -1221, -1222,
                         -1223, -1224, -1225, -1226, -1227, -1228, -1229, -1230, -1231, -1232,
                         -1233, -1234, -4101, -4102, -4103, -4104, -4105};
    for (int code : codes) {
        const std::string text = library.LinkErrorText(code);
        EXPECT_EQ(text.find("Unknown"), std::string::npos) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes));
    EXPECT_EQ(library.LinkErrorText(-4101), "RAM for algorithm code not present.");
    EXPECT_EQ(library.LinkErrorText(-4102), "Invalid write or erase mode.");
    EXPECT_EQ(library.LinkErrorText(-4103), "Invalid parameter.");
    EXPECT_EQ(library.LinkErrorText(-777), "Unknown probe error -777.");
}

// A link that cannot be opened says where it tried: the serial device or
// the network address with its port.
TEST(LinkChannel, OpenFailuresNameTheDeviceOrAddress)
{
    CLinkLibrary library(CSettings(nullptr, [](const char* name) -> const char* {
        return std::string(name) == "TARVEL_COM3" ? "/nonexistent/ttyX" : nullptr;
    }));
    int status = library.LinkOpen("COM3 9600");
    EXPECT_EQ(status, kStatusPortOpenFailed);
    EXPECT_EQ(library.LinkErrorText(status), "Cannot open the communication port (/nonexistent/ttyX).");

    // A port of the loopback address that nothing listens on.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);
    ::close(listener);
    status = library.LinkOpen("NETWORK 127.0.0.1:" + std::to_string(port) + " 1");
    EXPECT_EQ(status, kStatusConnectionRefused);
    EXPECT_EQ(library.LinkErrorText(status),
              "The probe refused the connection (127.0.0.1:" + std::to_string(port) + ").");
    // Codes that are no failure of the link keep their own text.
    EXPECT_EQ(library.LinkErrorText(-4103), "Invalid parameter.");
}

TEST(LinkChannel, OrdinalsOfTheLibraryOperations)
{
    EXPECT_EQ(ProbeOrdinal(EProbeOperation::LinkParseAddress), 2);
    EXPECT_EQ(ProbeOrdinal(EProbeOperation::LinkTransact), 6);
    EXPECT_EQ(ProbeOrdinal(EProbeOperation::TargetConnect), 26);
    EXPECT_EQ(ProbeOrdinal(EProbeOperation::TargetLoadInitList), 32);
    EXPECT_EQ(ProbeOrdinal(EProbeOperation::TargetRead32), 39);
    EXPECT_EQ(ProbeOrdinal(EProbeOperation::LinkOpen), 0);
    std::set<int> seen;
    for (const SProbeOrdinal& entry : kProbeLibraryOrdinals) {
        if (entry.ordinal != 0) {
            EXPECT_TRUE(seen.insert(entry.ordinal).second) << entry.name;
        }
    }
}

} // namespace
