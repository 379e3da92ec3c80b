#pragma once

#include "common/settings.h"

#include <QString>

#include <memory>

class QSettings;

// The desktop program's per-user store of the values kept between runs:
// QSettings under the organisation "Quellor" and the application title, one
// group per section ("Recent File List", "Settings", "WindowPos").
class CQtSettingsStore final : public CSettingsStore {
public:
    CQtSettingsStore();
    // A store in the INI file `path` (tests, and a second profile).
    explicit CQtSettingsStore(const QString& path);
    ~CQtSettingsStore() override;

    bool Read(const std::string& section, const std::string& name, std::string& value) const override;
    void Write(const std::string& section, const std::string& name, const std::string& value) override;
    // Writes pending values to the disk now.
    void Sync();

    static constexpr const char* kOrganisation = "Quellor";

private:
    std::unique_ptr<QSettings> settings_;
};
