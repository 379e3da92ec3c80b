#pragma once

// A settings store in memory, for tests that read and write settings without
// a file: values by (section, name).
#include "common/settings.h"

#include <map>
#include <string>
#include <utility>

class CMapSettingsStore final : public CSettingsStore {
public:
    using SKey = std::pair<std::string, std::string>;

    bool Read(const std::string& section, const std::string& name, std::string& value) const override
    {
        auto it = values.find({section, name});
        if (it == values.end())
            return false;
        value = it->second;
        return true;
    }
    void Write(const std::string& section, const std::string& name, const std::string& value) override
    {
        values[{section, name}] = value;
    }

    std::map<SKey, std::string> values;
};
