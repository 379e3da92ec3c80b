// CSettings against a map store and a fake environment: which source wins,
// what is written to the store, and the typed readers of the link's values.

#include "common/settings.h"
#include "support/map_settings_store.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace {

using SKey = CMapSettingsStore::SKey;

class SettingsTest : public ::testing::Test {
protected:
    CSettings::CEnvironment Environment()
    {
        return [this](const char* name) -> const char* {
            auto it = environment.find(name);
            return it == environment.end() ? nullptr : it->second.c_str();
        };
    }

    std::map<std::string, std::string> environment;
    CMapSettingsStore store;
};

TEST_F(SettingsTest, ASetValueWinsThenTheEnvironmentThenTheStoreThenTheDefault)
{
    // Rows: which sources hold a value, and the one expected. No key has both
    // a variable and a store entry today: the probe port and serial devices
    // have a variable, the window position a store entry.
    struct SCase {
        ESetting key;
        const char* set;
        const char* environment;
        const char* stored;
        const char* expected;
    } cases[] = {
        {ESetting::ProbePort, nullptr, nullptr, nullptr, "17000"},
        {ESetting::ProbePort, nullptr, "18001", nullptr, "18001"},
        {ESetting::ProbePort, "18002", "18001", nullptr, "18002"},
        {ESetting::ProbePort, nullptr, "", nullptr, "17000"}, // an empty variable counts as none
        {ESetting::SerialDevice3, nullptr, nullptr, nullptr, "/dev/ttyS2"},
        {ESetting::SerialDevice3, nullptr, "/dev/pts/7", nullptr, "/dev/pts/7"},
        {ESetting::WindowTop, nullptr, nullptr, nullptr, "0"},
        {ESetting::WindowTop, nullptr, nullptr, "120", "120"},
        {ESetting::WindowTop, "140", nullptr, "120", "140"},
        {ESetting::ImageDirectory, nullptr, nullptr, nullptr, ""},
        {ESetting::ImageDirectory, nullptr, "/var/tmp/images", nullptr, "/var/tmp/images"},
    };
    for (const SCase& c : cases) {
        const SSettingInfo& info = CSettings::Info(c.key);
        environment.clear();
        store.values.clear();
        if (c.environment)
            environment[info.environment] = c.environment;
        if (c.stored)
            store.values[{info.section, info.name}] = c.stored;
        CSettings settings(&store, Environment());
        if (c.set)
            settings.Set(c.key, c.set);
        EXPECT_EQ(settings.Get(c.key), c.expected) << info.name;
    }
}

TEST_F(SettingsTest, SetWritesOnlyStoredKeysToTheStore)
{
    CSettings settings(&store, Environment());
    settings.Set(ESetting::RecentFile1, "/work/a.tvl");
    settings.Set(ESetting::SerialDevice1, "/dev/ttyUSB0");
    EXPECT_EQ(store.values, (std::map<SKey, std::string>{{{"Recent File List", "File1"}, "/work/a.tvl"}}));
    EXPECT_EQ(settings.Get(ESetting::SerialDevice1), "/dev/ttyUSB0");

    // A later run reads what the earlier one kept.
    CSettings next(&store, Environment());
    EXPECT_EQ(next.Get(ESetting::RecentFile1), "/work/a.tvl");
    EXPECT_EQ(next.Get(ESetting::SerialDevice1), "/dev/ttyS0");
}

TEST_F(SettingsTest, NoStoreMeansDefaultsAndTheEnvironment)
{
    environment["TARVEL_COM2"] = "/dev/ttyACM1";
    CSettings settings(nullptr, Environment());
    settings.Set(ESetting::WindowLeft, "10"); // kept for this run only
    EXPECT_EQ(settings.Get(ESetting::WindowLeft), "10");
    EXPECT_EQ(settings.SerialDevicePath(2), "/dev/ttyACM1");
}

TEST_F(SettingsTest, SerialDevicePathsAndTheProbePort)
{
    CSettings settings(nullptr, Environment());
    EXPECT_EQ(settings.SerialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(settings.SerialDevicePath(4), "/dev/ttyS3");
    EXPECT_EQ(settings.SerialDevicePath(0), "");
    EXPECT_EQ(settings.SerialDevicePath(5), "");

    for (const auto& [text, port] : std::map<std::string, int>{
             {"1", 1}, {"65535", 65535}, {"0", 17000}, {"65536", 17000}, {"-5", 17000}, {"17x", 17000}, {"x", 17000}}) {
        environment["TARVEL_PROBE_PORT"] = text;
        EXPECT_EQ(CSettings(nullptr, Environment()).ProbePort(), port) << text;
    }
}

TEST_F(SettingsTest, GetIntTakesOnlyWholeDecimalNumbers)
{
    CSettings settings(nullptr, Environment());
    settings.Set(ESetting::WindowLeft, "-20");
    EXPECT_EQ(settings.GetInt(ESetting::WindowLeft, 7), -20);
    settings.Set(ESetting::WindowLeft, "12px");
    EXPECT_EQ(settings.GetInt(ESetting::WindowLeft, 7), 7);
    settings.Set(ESetting::WindowLeft, "");
    EXPECT_EQ(settings.GetInt(ESetting::WindowLeft, 7), 7);
}

} // namespace
