#include "probe/maintenance/jedec_file.h"

#include "common/bounded_file.h"

#include <fstream>

namespace {

// Hands out the text in the pieces the format reads, counting lines.
class CPieceReader {
public:
    explicit CPieceReader(const std::string& text) : text_(text) {}

    // The next piece; false at the end of the text.
    bool Next(std::string& piece)
    {
        piece.clear();
        if (pos_ >= text_.size())
            return false;
        pieceLine_ = line_;
        while (pos_ < text_.size() && piece.size() < CJedecFile::kPieceLength) {
            char c = text_[pos_++];
            if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n')
                c = text_[pos_++];
            piece.push_back(c);
            if (c == '\n') {
                ++line_;
                break;
            }
        }
        return true;
    }
    // The line the last piece came from (1 is the first).
    size_t PieceLine() const { return pieceLine_; }
    size_t Line() const { return line_; }

private:
    const std::string& text_;
    size_t pos_ = 0;
    size_t line_ = 1;
    size_t pieceLine_ = 1;
};

} // namespace

CJedecFile::EResult CJedecFile::Read(const std::string& path, FuseMap& map)
{
    for (std::string& row : map)
        row.clear();
    std::string text;
    if (CBoundedFile::Read(path, kMaxFileBytes, "a fuse file", text, detail) != CBoundedFile::EResult::Ok)
        return EResult::CannotOpen;
    return ReadText(text, map);
}

CJedecFile::EResult CJedecFile::ReadText(const std::string& text, FuseMap& map)
{
    for (std::string& row : map)
        row.clear();
    badRow = -1;
    badRowFuses = 0;
    badRowLine = 0;
    detail.clear();

    CPieceReader reader(text);
    std::string piece;
    for (;;) {
        if (!reader.Next(piece)) {
            detail = "no line \"*L00000\" starts the fuse map";
            return EResult::NoFuseMap;
        }
        if (piece == "*L00000\n")
            break;
    }
    for (int row = 0; row < kRows; ++row) {
        std::string& fuses = map[static_cast<size_t>(row)];
        size_t startLine = reader.Line();
        for (int i = 0; i < kPiecesPerRow; ++i) {
            if (!reader.Next(piece))
                break;  // the file has ended: the piece adds nothing
            if (i == 0)
                startLine = reader.PieceLine();
            size_t n = 0;
            while (n < piece.size() && (piece[n] == '0' || piece[n] == '1'))
                ++n;
            fuses.append(piece, 0, n);
        }
        if (fuses.size() != kRowFuses) {
            badRow = row;
            badRowFuses = fuses.size();
            badRowLine = startLine;
            detail = "line " + std::to_string(startLine) + ": fuse row " + std::to_string(row) + " holds " +
                     std::to_string(fuses.size()) + " fuses, not 240";
            for (std::string& r : map)
                r.clear();
            return EResult::BadRow;
        }
    }
    return EResult::Ok;
}
