#pragma once

#include <cstddef>

// Every allocation of the tests_project program passes through a counting
// operator new (allocation_watch.cpp), so a test can measure the largest
// single allocation made while it reads a hostile file or buffer.
class CAllocationWatch {
public:
    CAllocationWatch();
    ~CAllocationWatch();
    CAllocationWatch(const CAllocationWatch&) = delete;
    CAllocationWatch& operator=(const CAllocationWatch&) = delete;
    size_t Largest() const;
};
