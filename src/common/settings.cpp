#include "common/settings.h"

#include <cstdlib>

namespace {

constexpr SSettingInfo kSettings[] = {
    {ESetting::RecentFile1, "Recent File List", "File1", nullptr, ""},
    {ESetting::RecentFile2, "Recent File List", "File2", nullptr, ""},
    {ESetting::RecentFile3, "Recent File List", "File3", nullptr, ""},
    {ESetting::RecentFile4, "Recent File List", "File4", nullptr, ""},
    {ESetting::PreviewPages, "Settings", "PreviewPages", nullptr, "1"},
    {ESetting::WindowLeft, "WindowPos", "leftPos", nullptr, "65535"},
    {ESetting::WindowTop, "WindowPos", "topPos", nullptr, "0"},
    {ESetting::WindowRight, "WindowPos", "rightPos", nullptr, "0"},
    {ESetting::WindowBottom, "WindowPos", "bottomPos", nullptr, "0"},
    {ESetting::SerialDevice1, nullptr, "SerialDevice1", "TARVEL_COM1", "/dev/ttyS0"},
    {ESetting::SerialDevice2, nullptr, "SerialDevice2", "TARVEL_COM2", "/dev/ttyS1"},
    {ESetting::SerialDevice3, nullptr, "SerialDevice3", "TARVEL_COM3", "/dev/ttyS2"},
    {ESetting::SerialDevice4, nullptr, "SerialDevice4", "TARVEL_COM4", "/dev/ttyS3"},
    {ESetting::ProbePort, nullptr, "ProbePort", "TARVEL_PROBE_PORT", "17000"},
    {ESetting::ImageDirectory, nullptr, "ImageDirectory", "TARVEL_IMAGE_DIR", ""},
    {ESetting::ProgramDirectory, nullptr, "ProgramDirectory", "TARVEL_PROGRAM_DIR", ""},
    {ESetting::GdbServer, nullptr, "GdbServer", "TARVEL_GDB_SERVER", ""},
    {ESetting::DateOrder, "intl", "iDate", "TARVEL_INTL_IDATE", ""},
    {ESetting::DateSeparator, "intl", "sDate", "TARVEL_INTL_SDATE", ""},
    {ESetting::ShortDatePattern, "intl", "sShortDate", "TARVEL_INTL_SSHORTDATE", ""},
};

constexpr bool TableInKeyOrder()
{
    if (std::size(kSettings) != static_cast<size_t>(ESetting::Count))
        return false;
    for (size_t i = 0; i < std::size(kSettings); ++i)
        if (kSettings[i].key != static_cast<ESetting>(i))
            return false;
    return true;
}
static_assert(TableInKeyOrder(), "one row per setting, in the order of ESetting");

} // namespace

CSettings::CSettings(CSettingsStore* store, CEnvironment environment)
    : store_(store), environment_(environment ? std::move(environment) : CEnvironment(&std::getenv))
{
}

const SSettingInfo& CSettings::Info(ESetting key)
{
    return kSettings[static_cast<size_t>(key)];
}

std::string CSettings::Get(ESetting key) const
{
    if (auto it = values_.find(key); it != values_.end())
        return it->second;
    const SSettingInfo& info = Info(key);
    if (info.environment) {
        if (const char* value = environment_(info.environment); value && *value)
            return value;
    }
    std::string stored;
    if (info.section && store_ && store_->Read(info.section, info.name, stored))
        return stored;
    return info.defaultValue;
}

long CSettings::GetInt(ESetting key, long fallback) const
{
    const std::string text = Get(key);
    if (text.empty())
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' ? value : fallback;
}

void CSettings::Set(ESetting key, const std::string& value)
{
    values_[key] = value;
    const SSettingInfo& info = Info(key);
    if (info.section && store_)
        store_->Write(info.section, info.name, value);
}

std::string CSettings::SerialDevicePath(int port) const
{
    if (port < 1 || port > 4)
        return {};
    return Get(static_cast<ESetting>(static_cast<int>(ESetting::SerialDevice1) + port - 1));
}

uint16_t CSettings::ProbePort() const
{
    const long port = GetInt(ESetting::ProbePort, -1);
    if (port < 1 || port > 65535)
        return static_cast<uint16_t>(std::atoi(Info(ESetting::ProbePort).defaultValue));
    return static_cast<uint16_t>(port);
}
