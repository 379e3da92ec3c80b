#pragma once

#include <QLineEdit>

#include <string>

// A file name field. File names are the bytes the system gave, which need not
// be valid UTF-8: the field shows them as well as it can and answers the
// original bytes for as long as nobody edits the text, so a name is never
// changed by merely opening a dialog. There is no length limit: a name is
// never cut; the system refuses a name it cannot take when the file is used.
class CFileNameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFileNameEdit(const std::string& path, QWidget* parent = nullptr);

    void SetPath(const std::string& path);
    // The bytes given to SetPath while the text is unchanged, else the
    // text in the system's file name encoding.
    std::string Path() const;

private:
    std::string path_;
    QString shown_;
};
