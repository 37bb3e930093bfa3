#include "HostAllocator.h"

#include <cstdlib>

namespace MarkeyeHost {

HostAllocator::~HostAllocator()
{
    for (void* block : _blocks) {
        std::free(block);
    }
}

void* HostAllocator::allocate(uint32_t i_size)
{
    if (_successes_left == 0) {
        _failed_requests++;
        return nullptr;
    }
    // malloc's alignment suits any object; a zero-size request still gets
    // a distinct block.
    void* block = std::malloc(i_size == 0 ? 1 : i_size);
    if (block == nullptr) {
        _failed_requests++;
        return nullptr;
    }
    if (_successes_left > 0) {
        _successes_left--;
    }
    _blocks.insert(block);
    return block;
}

void HostAllocator::free(void* i_block)
{
    if (_blocks.erase(i_block) == 0) {
        _foreign_frees++;
        return;
    }
    std::free(i_block);
}

}  // namespace MarkeyeHost
