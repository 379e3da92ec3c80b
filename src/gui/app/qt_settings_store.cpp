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
    // A value that is not valid UTF-8 (a file name) is kept as bytes.
    value = v.typeId() == QMetaType::QByteArray ? v.toByteArray().toStdString() : v.toString().toStdString();
    return true;
}

void CQtSettingsStore::Write(const std::string& section, const std::string& name, const std::string& value)
{
    // Text as text; bytes that are not valid UTF-8 (a file name the system
    // gave) as bytes, so that they come back unchanged.
    const QByteArray bytes = QByteArray::fromStdString(value);
    if (bytes.isValidUtf8())
        settings_->setValue(Key(section, name), QString::fromUtf8(bytes));
    else
        settings_->setValue(Key(section, name), bytes);
}

void CQtSettingsStore::Sync()
{
    settings_->sync();
}
