#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

CTempDir::CTempDir(bool enter) : entered_(enter)
{
    std::string templ = (std::filesystem::temp_directory_path() / "tarvel-test-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = templ;
    if (entered_) {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    if (entered_)
        std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
