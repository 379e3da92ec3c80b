#include "gui/app/svg_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon CSvgIcon::Load(const QString& name)
{
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
