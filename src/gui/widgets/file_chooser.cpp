#include "gui/widgets/file_chooser.h"

#include "gui/widgets/native_path.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

std::string Trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    const size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

class CSystemFileChooser final : public CFileChooser {
public:
    std::optional<std::string> ChooseOpen(QWidget* owner, const std::string& filter,
                                          const std::string& initial) override
    {
        const QString path = QFileDialog::getOpenFileName(owner, QObject::tr("Open"), ShownPath(initial),
                                                          QString::fromStdString(QtFilter(filter)));
        if (path.isEmpty())
            return std::nullopt;
        return NativePath(QFileInfo(path).absoluteFilePath());
    }

    std::optional<std::string> ChooseSave(QWidget* owner, const std::string& filter, const std::string& initial,
                                          bool confirmReplace) override
    {
        QFileDialog dialog(owner, QObject::tr("Save As"), ShownPath(initial),
                           QString::fromStdString(QtFilter(filter)));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (confirmReplace) {
            // The extension is added here, so that the replace question is
            // asked for the name that will be written.
            const std::string qt = QtFilter(filter);
            const size_t dot = qt.find("(*.");
            if (dot != std::string::npos)
                dialog.setDefaultSuffix(QString::fromStdString(qt.substr(dot + 3, qt.find(')', dot) - dot - 3)));
        } else {
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return NativePath(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
    }
};

} // namespace

std::string CFileChooser::QtFilter(const std::string& filter)
{
    std::string out;
    size_t pos = 0;
    bool isName = true;
    while (pos <= filter.size()) {
        size_t bar = filter.find('|', pos);
        if (bar == std::string::npos)
            bar = filter.size();
        const std::string part = Trim(filter.substr(pos, bar - pos));
        if (isName && !part.empty()) {
            std::string name = part;
            // "(*.*)" means every file; Qt's pattern for that is "*".
            if (const size_t all = name.find("(*.*)"); all != std::string::npos)
                name.replace(all, 5, "(*)");
            if (!out.empty())
                out += ";;";
            out += name;
        }
        if (part.empty() && isName)
            break; // "||" ends the list
        isName = !isName;
        pos = bar + 1;
    }
    return out;
}

CFileChooser& CFileChooser::System()
{
    static CSystemFileChooser chooser;
    return chooser;
}
