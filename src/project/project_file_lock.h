#pragma once

#include <string>

// Makes a save of a project file one step against every other save of ours:
// the look at what the file holds now ("changed on disk since it was read")
// and the rename that replaces it happen while the lock is held, so two
// programs saving one project at once never both pass the look and then
// drop each other's change.
//
// The lock is an flock on the directory that holds the file (its symbolic
// links followed): it leaves no file behind, needs no write permission, and
// every program that saves there through this class (tarvel-cli, the desktop
// program) takes the same one. A save holds it for milliseconds, so saves of
// other projects in the same directory waiting for it is harmless. A
// directory that cannot be opened or locked (a file system without flock)
// is saved unlocked, as before.
class CProjectFileLock {
public:
    // How long Take waits for another program's save to finish.
    static constexpr int kWaitMs = 10'000;

    CProjectFileLock() = default;
    ~CProjectFileLock() { Release(); }
    CProjectFileLock(const CProjectFileLock&) = delete;
    CProjectFileLock& operator=(const CProjectFileLock&) = delete;

    // Takes the lock over saves of `path`, waiting at most `waitMs`. False
    // with `error` only when another holder kept it all that time.
    bool Take(const std::string& path, std::string& error, int waitMs = kWaitMs);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};
