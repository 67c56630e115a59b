#include "allocation_failure.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool failing = false;
thread_local std::size_t refused = 0;

void* Allocate(std::size_t size) noexcept
{
    if (failing) return ++refused, nullptr;
    return std::malloc(size != 0 ? size : 1);
}

void* AllocateOrThrow(std::size_t size)
{
    void* block = Allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

} // namespace

AllocationsFail::AllocationsFail() : refusedBefore(refused) { failing = true; }
AllocationsFail::~AllocationsFail() { failing = false; }
std::size_t AllocationsFail::Refused() const { return refused - refusedBefore; }

// Every form a program may call, so that no block allocated here is given back elsewhere (the
// sanitizers' own operators would report the mismatch).
void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
