#pragma once

#include <string>
#include <vector>

class CSettings;

// The four most recently used project files, newest first, kept in the
// settings ("Recent File List" / "File1" .. "File4").
class CRecentFileList {
public:
    static constexpr int kSize = 4;

    // Reads the list from `settings`; empty entries are left out.
    explicit CRecentFileList(CSettings& settings);

    const std::vector<std::string>& Files() const { return files_; }
    // `path` becomes the newest entry (an older entry of the same path goes,
    // the oldest falls off a full list); the settings are written at once.
    void Add(const std::string& path);
    // Removes entry `index` (a file that could not be opened from the menu).
    void Remove(size_t index);

private:
    void Write();

    CSettings& settings_;
    std::vector<std::string> files_;
};
