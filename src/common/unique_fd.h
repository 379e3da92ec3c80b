#pragma once

#include <unistd.h>

// Owns one open file descriptor and closes it when it goes out of scope, so
// that every early return of a reader closes its file.
class CUniqueFd {
public:
    explicit CUniqueFd(int fd) : fd_(fd) {}
    ~CUniqueFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int Get() const { return fd_; }

private:
    int fd_;
};
