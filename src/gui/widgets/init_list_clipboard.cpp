#include "gui/widgets/init_list_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

CInitListClipboard::CInitListClipboard(QObject* parent) : QObject(parent)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &CInitListClipboard::Changed);
}

void CInitListClipboard::Put(const std::string& bytes)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto* data = new QMimeData;
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    data->setData(kMimeType, raw);
    const qsizetype zero = raw.indexOf('\0');
    data->setText(QString::fromLatin1(zero < 0 ? raw : raw.left(zero)));
    clipboard->setMimeData(data);
}

std::optional<CInitListClipboard::SContent> CInitListClipboard::Take()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data)
        return std::nullopt;
    if (data->hasFormat(kMimeType)) {
        const QByteArray raw = data->data(kMimeType);
        return SContent{raw.toStdString(), true};
    }
    if (data->hasText()) {
        // Entries are single-byte text.
        const QByteArray raw = data->text().toLatin1();
        return SContent{raw.toStdString(), false};
    }
    return std::nullopt;
}

bool CInitListClipboard::HasContent()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && (data->hasFormat(kMimeType) || (data->hasText() && !data->text().isEmpty()));
}
