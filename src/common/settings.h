#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

// Every value the program keeps between runs or takes from its surroundings,
// by key. One table says where each lives (section and name in the per-user
// store, the environment variable that may override it) and its default.
enum class ESetting : int {
    // Kept between runs by the desktop program, under its application title.
    RecentFile1,
    RecentFile2,
    RecentFile3,
    RecentFile4,
    PreviewPages,
    WindowLeft,
    WindowTop,
    WindowRight,
    WindowBottom,
    // Taken from the surroundings (environment, command line).
    SerialDevice1, // the device path of COM1 .. COM4
    SerialDevice2,
    SerialDevice3,
    SerialDevice4,
    ProbePort,        // the TCP port of a probe on the network
    ImageDirectory,   // where the memory image keeps its backing file ("" = current directory)
    ProgramDirectory, // where the probe's firmware and logic files lie ("" = the executable's directory)
    GdbServer,        // HOST:PORT of a GDB server that stands in for the probe ("" = the QDX7000)
    // The regional date settings the report's date text follows ("" = not
    // set: taken from the system's locale instead).
    DateOrder,        // 0 month-day-year, 1 day-month-year, 2 year-month-day
    DateSeparator,
    ShortDatePattern, // as "dd.MM.yy"
    Count
};

struct SSettingInfo {
    ESetting key;
    const char* section;     // per-user store section; nullptr: never stored
    const char* name;        // value name in that section
    const char* environment; // overriding environment variable; nullptr: none
    const char* defaultValue;
};

// Where the desktop program keeps its values between runs (QSettings there;
// a map in tests). tarvel-cli has none.
class CSettingsStore {
public:
    virtual ~CSettingsStore() = default;
    virtual bool Read(const std::string& section, const std::string& name, std::string& value) const = 0;
    virtual void Write(const std::string& section, const std::string& name, const std::string& value) = 0;
};

// The values of one run. A value is, in this order: one set in this run
// (Set), the environment variable of its key, the store's, the default.
// Handed to what needs it (the link, the memory image, the probe
// maintenance) as a value; nothing below the front ends reads the
// environment itself.
class CSettings {
public:
    using CEnvironment = std::function<const char*(const char*)>;

    // `environment` answers a variable's value or nullptr (std::getenv when
    // empty); `store` may be null.
    explicit CSettings(CSettingsStore* store = nullptr, CEnvironment environment = {});

    static const SSettingInfo& Info(ESetting key);

    std::string Get(ESetting key) const;
    // The value read as a decimal number; `fallback` when it is not one.
    long GetInt(ESetting key, long fallback = 0) const;
    // Sets the value for this run and writes it to the store when the key is stored.
    void Set(ESetting key, const std::string& value);
    void SetInt(ESetting key, long value) { Set(key, std::to_string(value)); }

    // The device path of serial port `port` (1..4): "/dev/ttyS<port-1>"
    // unless overridden; empty for another port.
    std::string SerialDevicePath(int port) const;
    // The TCP port of a probe on the network (17000 unless overridden; an
    // override that is not a port number 1..65535 gives the default).
    uint16_t ProbePort() const;

private:
    CSettingsStore* store_;
    CEnvironment environment_;
    std::map<ESetting, std::string> values_;
};
