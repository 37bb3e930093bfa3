#include "TStdXtraInterface.h"

namespace VoXtra {

namespace {

// Constant-initialised: no code of the module runs when it is loaded.
std::atomic<int32_t> s_live_interfaces{0};

}  // namespace

int32_t TStdXtraInterfaceShared::liveInterfaces()
{
    return s_live_interfaces.load();
}

void* TStdXtraInterfaceShared::allocateRecord(Moa::IMoaHostAllocator* i_allocator, uint32_t i_size)
{
    for (;;) {
        void* memory = i_allocator->allocate(i_size);
        if (memory != nullptr) {
            return memory;
        }
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            return nullptr;
        }
        // A handler that cannot free memory throws; that ends the attempt here
        // rather than in the host.
        try {
            handler();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
}

void TStdXtraInterfaceShared::interfaceMade()
{
    ++s_live_interfaces;
}

void TStdXtraInterfaceShared::interfaceGone()
{
    --s_live_interfaces;
}

}  // namespace VoXtra
