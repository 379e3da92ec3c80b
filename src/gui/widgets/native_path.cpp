#include "gui/widgets/native_path.h"

#include <QFile>

QString ShownPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
