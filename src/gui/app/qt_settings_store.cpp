#include "gui/app/qt_settings_store.h"

#include "common/message_box.h"

#include <QSettings>

namespace {

QString Key(const std::string& section, const std::string& name)
{
    return QString::fromStdString(section) + '/' + QString::fromStdString(name);
}

} // namespace

CQtSettingsStore::CQtSettingsStore()
    : settings_(std::make_unique<QSettings>(QString::fromLatin1(kOrganisation), QString::fromLatin1(kAppTitle)))
{
}

CQtSettingsStore::CQtSettingsStore(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

CQtSettingsStore::~CQtSettingsStore() = default;

bool CQtSettingsStore::Read(const std::string& section, const std::string& name, std::string& value) const
{
    const QVariant v = settings_->value(Key(section, name));
    if (!v.isValid())
        return false;
    value = v.toString().toStdString();
    return true;
}

void CQtSettingsStore::Write(const std::string& section, const std::string& name, const std::string& value)
{
    settings_->setValue(Key(section, name), QString::fromStdString(value));
}

void CQtSettingsStore::Sync()
{
    settings_->sync();
}
