#pragma once

#include <QIcon>
#include <QString>

// Our own drawings (resource ":/icons/<name>.svg") as icons, rendered by
// the SVG library at the sizes a toolbar, a menu and the window frame ask
// for, sharp at every scale factor.
class CSvgIcon {
public:
    static QIcon Load(const QString& name);
};
