#include "CountingAllocator.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

// Every replaced operator new comes here; i_alignment 0 for the default.
void* allocate(std::size_t i_size, std::size_t i_alignment)
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    // A C++ allocation of 0 bytes must still give a distinct block.
    const std::size_t size = i_size == 0 ? 1 : i_size;
    void* block = i_alignment == 0
                      ? std::malloc(size)
                      // aligned_alloc wants a multiple of the alignment.
                      : std::aligned_alloc(i_alignment, (size + i_alignment - 1) / i_alignment * i_alignment);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* allocateOrNull(std::size_t i_size) noexcept
{
    try {
        return allocate(i_size, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

namespace TestSupport {

void startCounting()
{
    g_allocations = 0;
    g_counting = true;
}

long stopCounting()
{
    g_counting = false;
    return g_allocations;
}

long allocationsOfOneBlock()
{
    startCounting();
    int* volatile block = new int(1);
    delete block;
    return stopCounting();
}

}  // namespace TestSupport

void* operator new(std::size_t i_size)
{
    return allocate(i_size, 0);
}
void* operator new[](std::size_t i_size)
{
    return allocate(i_size, 0);
}
void* operator new(std::size_t i_size, const std::nothrow_t&) noexcept
{
    return allocateOrNull(i_size);
}
void* operator new[](std::size_t i_size, const std::nothrow_t&) noexcept
{
    return allocateOrNull(i_size);
}
void* operator new(std::size_t i_size, std::align_val_t i_alignment)
{
    return allocate(i_size, static_cast<std::size_t>(i_alignment));
}
void* operator new[](std::size_t i_size, std::align_val_t i_alignment)
{
    return allocate(i_size, static_cast<std::size_t>(i_alignment));
}
void operator delete(void* i_block) noexcept
{
    std::free(i_block);
}
void operator delete[](void* i_block) noexcept
{
    std::free(i_block);
}
void operator delete(void* i_block, std::size_t) noexcept
{
    std::free(i_block);
}
void operator delete[](void* i_block, std::size_t) noexcept
{
    std::free(i_block);
}
void operator delete(void* i_block, std::align_val_t) noexcept
{
    std::free(i_block);
}
void operator delete[](void* i_block, std::align_val_t) noexcept
{
    std::free(i_block);
}
void operator delete(void* i_block, std::size_t, std::align_val_t) noexcept
{
    std::free(i_block);
}
void operator delete[](void* i_block, std::size_t, std::align_val_t) noexcept
{
    std::free(i_block);
}
