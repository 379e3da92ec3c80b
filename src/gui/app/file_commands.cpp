#include "gui/app/file_commands.h"

#include "common/message_box.h"
#include "common/text_format.h"
#include "gui/app/document_commands.h"
#include "gui/app/recent_file_list.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/native_path.h"
#include "gui/widgets/status_line_view.h"
#include "project/qpg_doc.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QMimeData>
#include <QUrl>

#include <cctype>
#include <filesystem>
#include <sys/stat.h>

CFileCommands::CFileCommands(const SWindowContext& window, CQpgDoc& doc, CRecentFileList& recent,
                             CFileChooser& chooser, CDocumentCommands& commands)
    : window_(window), doc_(doc), recent_(recent), chooser_(chooser), commands_(commands)
{
}

QString CFileCommands::DocumentTitle(const CQpgDoc& doc)
{
    if (doc.GetPathName().empty())
        return QString::fromLatin1(kUntitled);
    return QFileInfo(ShownPath(doc.GetPathName())).fileName();
}

bool CFileCommands::SaveModified()
{
    if (!doc_.IsModified())
        return true;
    const std::string text = "Save changes to " + DocumentTitle(doc_).toStdString() + "?";
    switch (window_.box.Show(text, "", EMsgIcon::Exclamation, EMsgButtons::YesNoCancel)) {
    case EMsgResult::Yes: return SaveFile();
    case EMsgResult::No: return true;
    default: return false;
    }
}

bool CFileCommands::NewFile()
{
    if (!SaveModified())
        return false;
    doc_.NewDocument();
    window_.updateCommands();
    return true;
}

bool CFileCommands::OpenFile()
{
    // The changes are settled before a file is chosen, as the person sees
    // them: the question first, then the file dialog.
    if (!SaveModified())
        return false;
    const auto path = chooser_.ChooseOpen(&window_.window, kProjectFilter, doc_.GetPathName());
    if (!path)
        return false;
    return OpenSettled(*path);
}

bool CFileCommands::OpenPath(const std::string& path)
{
    if (!SaveModified())
        return false;
    return OpenSettled(path);
}

bool CFileCommands::OpenSettled(const std::string& path)
{
    CStatusLineView view(nullptr);
    // The name stays the bytes it was given; only made absolute.
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string name = error ? path : absolute.lexically_normal().string();
    const bool opened = doc_.Open(name, view, window_.box);
    if (opened)
        recent_.Add(doc_.GetPathName());
    window_.updateCommands();
    return opened;
}

bool CFileCommands::OpenRecent(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= recent_.Files().size())
        return false;
    const std::string path = recent_.Files()[static_cast<size_t>(index)];
    if (!SaveModified())
        return false;
    CStatusLineView view(nullptr);
    struct stat st {};
    if (doc_.Open(path, view, window_.box)) {
        recent_.Add(path);
    } else if (::stat(path.c_str(), &st) != 0) {
        // An entry whose file is gone leaves the list.
        recent_.Remove(static_cast<size_t>(index));
    }
    window_.updateCommands();
    return doc_.GetPathName() == path;
}

bool CFileCommands::SaveFile()
{
    const std::string& path = doc_.GetPathName();
    if (path.empty())
        return SaveFileAs();
    // A project file without write permission is not replaced behind the
    // person's back: it is kept, and the project goes under a new name.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        window_.box.Show(Format("%s is read-only.\nSave the setup under a new name.",
                                 DocumentTitle(doc_).toStdString().c_str()),
                          "", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return SaveFileAs();
    }
    // Changed on disk since this program read or wrote it (another program,
    // tarvel-cli): replaced only when the person says so.
    if (doc_.ProjectFileChanged()) {
        const std::string text = Format("%s has been changed by another program since it was opened here.\n"
                                        "Replace it with this setup?",
                                        DocumentTitle(doc_).toStdString().c_str());
        if (window_.box.Show(text, "", EMsgIcon::Exclamation, EMsgButtons::YesNo) != EMsgResult::Yes)
            return false;
    }
    return SaveTo(path);
}

bool CFileCommands::SaveTo(const std::string& path)
{
    const bool saved = doc_.Save(path, window_.box);
    window_.updateCommands();
    return saved;
}

bool CFileCommands::SaveFileAs()
{
    const std::string initial = doc_.GetPathName().empty() ? std::string(kUntitled) + CQpgDoc::kFileExtension
                                                           : doc_.GetPathName();
    auto path = chooser_.ChooseSave(&window_.window, kProjectFilter, initial, true);
    if (!path)
        return false;
    // A name without an extension gets the project's own.
    if (std::filesystem::path(*path).extension().empty())
        *path += CQpgDoc::kFileExtension;
    const bool saved = SaveTo(*path);
    if (saved)
        recent_.Add(doc_.GetPathName());
    return saved;
}

std::string CFileCommands::DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return {};
    const QUrl url = data->urls().first();
    if (!url.isLocalFile())
        return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

bool CFileCommands::OpenDropped(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == CQpgDoc::kFileExtension)
        return OpenPath(path);
    // Any other file is a program file for the memory image.
    return commands_.LoadFile(path);
}
