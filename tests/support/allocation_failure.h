// Running out of memory on demand: the test program's replacement of the global operator new
// refuses every allocation of the calling thread while an AllocationsFail lives, so that a test
// can show what code does when the heap is exhausted. Only programs that compile
// allocation_failure.cpp get the replacement.
#pragma once

#include <cstddef>

class AllocationsFail {
public:
    AllocationsFail();
    ~AllocationsFail();
    AllocationsFail(const AllocationsFail&) = delete;
    AllocationsFail& operator=(const AllocationsFail&) = delete;

    // Allocations refused on this thread since this object was made.
    std::size_t Refused() const;

private:
    std::size_t refusedBefore;
};
