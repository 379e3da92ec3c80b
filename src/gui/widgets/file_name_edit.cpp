#include "gui/widgets/file_name_edit.h"

#include "gui/widgets/native_path.h"

CFileNameEdit::CFileNameEdit(const std::string& path, QWidget* parent) : QLineEdit(parent)
{
    SetPath(path);
}

void CFileNameEdit::SetPath(const std::string& path)
{
    path_ = path;
    shown_ = ShownPath(path);
    setText(shown_);
}

std::string CFileNameEdit::Path() const
{
    if (text() == shown_)
        return path_;
    return NativePath(text());
}
