#pragma once

#include <cstdint>
#include <set>

#include "IMoaHostServices.h"

namespace MarkeyeHost {

// The host's memory for the plug-in: blocks from the C heap, each one
// tracked so that a test can see it freed, and a switch that makes requests
// fail as if memory had run out.
class HostAllocator final : public Moa::IMoaHostAllocator
{
public:
    HostAllocator() = default;
    HostAllocator(const HostAllocator&) = delete;
    HostAllocator& operator=(const HostAllocator&) = delete;
    ~HostAllocator();

    void* allocate(uint32_t i_size) override;
    // Frees a block of this allocator; anything else is only counted.
    void free(void* i_block) override;

    // The next i_successes requests succeed, every later one fails; -1 (the
    // start) never fails.
    void failAfter(int32_t i_successes) { _successes_left = i_successes; }
    void neverFail() { _successes_left = -1; }

    int32_t liveBlocks() const { return static_cast<int32_t>(_blocks.size()); }
    int32_t failedRequests() const { return _failed_requests; }
    int32_t foreignFrees() const { return _foreign_frees; }

private:
    std::set<void*> _blocks;
    int32_t _successes_left = -1;
    int32_t _failed_requests = 0;
    int32_t _foreign_frees = 0;
};

}  // namespace MarkeyeHost
