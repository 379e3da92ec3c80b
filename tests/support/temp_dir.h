#pragma once

#include <filesystem>
#include <string>

// A fresh directory under the system temp folder, removed with everything in
// it when the object goes. Optionally made the current directory for its life
// (the memory image keeps its backing file in the current directory).
class CTempDir {
public:
    explicit CTempDir(bool enter = false);
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
    bool entered_;
};

// Whole file as bytes / writes bytes to a file.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
