#include "gui/app/recent_file_list.h"

#include "common/settings.h"

#include <algorithm>

namespace {

constexpr ESetting kKeys[CRecentFileList::kSize] = {ESetting::RecentFile1, ESetting::RecentFile2,
                                                    ESetting::RecentFile3, ESetting::RecentFile4};

} // namespace

CRecentFileList::CRecentFileList(CSettings& settings) : settings_(settings)
{
    for (ESetting key : kKeys) {
        std::string path = settings_.Get(key);
        if (!path.empty() && std::find(files_.begin(), files_.end(), path) == files_.end())
            files_.push_back(std::move(path));
    }
}

void CRecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
    files_.insert(files_.begin(), path);
    if (files_.size() > kSize)
        files_.resize(kSize);
    Write();
}

void CRecentFileList::Remove(size_t index)
{
    if (index >= files_.size())
        return;
    files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
    Write();
}

void CRecentFileList::Write()
{
    for (size_t i = 0; i < kSize; ++i)
        settings_.Set(kKeys[i], i < files_.size() ? files_[i] : std::string());
}
