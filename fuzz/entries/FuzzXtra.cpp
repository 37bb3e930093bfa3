#include "FuzzXtra.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "FuzzScene.h"
#include "IMoaXtra.h"

using namespace Moa;
using MarkeyeHost::HostValueStore;

namespace MarkeyeFuzz {

namespace {

void keepModuleLoaded()
{
    static void* const handle = dlopen(MARKEYE_XTRA_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", MARKEYE_XTRA_MODULE, dlerror());
        std::abort();
    }
}

void require(bool i_kept, const char* i_promise)
{
    MarkeyeFuzz::require(i_kept, "plug-in", i_promise);
}

}  // namespace

FuzzXtra::FuzzXtra()
{
    keepModuleLoaded();
    _module = std::make_unique<MarkeyeHost::HostXtraModule>(&_host, MARKEYE_XTRA_MODULE);
    _instance = std::make_unique<MarkeyeHost::HostXtraInstance>(_module.get());
    require(_instance->createStatus() == MOA_OK, "an instance is created");
}

FuzzXtra::~FuzzXtra()
{
    _instance.reset();
    checkReleased();
    _module.reset();
}

TMoaValue FuzzXtra::call(int32_t i_index, const std::vector<TMoaValue>& i_arguments)
{
    const MarkeyeHost::HostXtraInstance::TCallOutcome outcome = _instance->callIndex(i_index, i_arguments);
    require(outcome.status == MOA_OK, "every call returns status 0");
    return outcome.result;
}

TMoaValue FuzzXtra::callRaw(int32_t i_index, int32_t i_argument_count, const TMoaValue* i_arguments)
{
    void* interface = nullptr;
    require(_instance->QueryInterface(&IMoaMmXScript::INTERFACE_ID, &interface) == MOA_OK,
            "the instance has a script interface");
    IMoaMmXScript* script = static_cast<IMoaMmXScript*>(interface);
    TMoaCallInfo info = {i_index, MOA_VOID_VALUE, i_argument_count, i_arguments};
    const TMoaStatus status = script->Call(&info);
    script->Release();
    require(status == MOA_OK, "every call returns status 0");
    return info.result;
}

TMoaValue FuzzXtra::image(const MarkeyeHost::THostImage& i_image)
{
    const TMoaValue value = values().makeImage(i_image);
    _images.push_back(value);
    return value;
}

TMoaValue FuzzXtra::frameImage(const TFrameSize& i_size, const std::vector<uint8_t>& i_bgra)
{
    MarkeyeHost::THostImage picture;
    picture.width = i_size.width;
    picture.height = i_size.height;
    picture.depth = 32;
    picture.row_bytes = 4 * i_size.width;
    picture.pixels = i_bgra;
    return image(picture);
}

bool FuzzXtra::toInteger(const TMoaValue& i_value, int32_t* o_integer)
{
    if (values().isType(i_value, HostValueStore::TYPE_INTEGER)) {
        *o_integer = values().integerOf(i_value);
        return true;
    }
    if (!values().isType(i_value, HostValueStore::TYPE_FLOAT)) {
        return false;
    }
    const double truncated = std::trunc(values().floatOf(i_value));
    if (!(truncated >= std::numeric_limits<int32_t>::min() && truncated <= std::numeric_limits<int32_t>::max())) {
        return false;
    }
    *o_integer = static_cast<int32_t>(truncated);
    return true;
}

void FuzzXtra::checkReleased()
{
    require(_host.serviceReferences() == 0, "every service reference is released");
    require(_host.allocator().liveBlocks() == 0, "every host block is freed");
    require(_host.allocator().foreignFrees() == 0, "only host blocks are freed");
    require(values().borrowedStrings() == 0, "every borrowed string is given back");
    require(_module->exports().canUnloadNow() == MOA_OK, "no interface object outlives its instance");
    for (const TMoaValue& image : _images) {
        require(values().imageOf(image).lock_count == 0, "every pixel lock is given back");
    }
}

}  // namespace MarkeyeFuzz
