#pragma once

#include <QObject>

#include <optional>
#include <string>

// The system clipboard as the init list editor uses it: copied entries go
// there under our own MIME type (the "CF_QDX_INITLIST" content) and as
// plain text with the same bytes, so that another running program takes
// them as entries and a text editor as text. Reading prefers our type; plain
// text (an editor's copy) is handed back marked as such.
class CInitListClipboard : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kMimeType = "application/x-qdx-initlist";

    explicit CInitListClipboard(QObject* parent = nullptr);

    struct SContent {
        std::string bytes;
        bool entries = false; // our own type; false: plain text
    };

    // Puts the bytes on the clipboard (the terminating zero byte goes with
    // our type; the plain text ends before it).
    static void Put(const std::string& bytes);
    static std::optional<SContent> Take();
    // Whether Paste has something to take.
    static bool HasContent();

signals:
    // The clipboard's content changed (in this program or another).
    void Changed();
};
