#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "MoaTypes.h"

namespace MarkeyeFuzz {

struct TFrameSize;

// Method indices in the plug-in's method table.
enum XtraMethod : int32_t {
    METHOD_NEW = 0,
    METHOD_FORGET = 1,
    METHOD_SET_CONFIDENCE = 2,
    METHOD_LOAD_PATTERN_FILE = 3,
    METHOD_LOAD_PATTERN_LIST = 4,
    METHOD_UNLOAD_PATTERNS = 5,
    METHOD_DETECT_SINGLE = 6,
    METHOD_DETECT_MARKERS = 7,
    METHOD_COUNT = 8,
};

// The plug-in module loaded into a fresh emulated host with one tracker
// instance, for one fuzz input. The module itself stays loaded for the whole
// process (reloading it would move the code the fuzzer measures coverage
// on). Ending the session checks that the plug-in gave back every service
// reference, host block, borrowed string and pixel lock; a broken promise
// aborts, which the fuzzer reports as a finding.
class FuzzXtra
{
public:
    FuzzXtra();
    ~FuzzXtra();
    FuzzXtra(const FuzzXtra&) = delete;
    FuzzXtra& operator=(const FuzzXtra&) = delete;

    MarkeyeHost::EmulatedHost& host() { return _host; }
    MarkeyeHost::HostValueStore& values() { return _host.values(); }
    MarkeyeHost::HostXtraModule& module() { return *_module; }
    MarkeyeHost::HostXtraInstance& instance() { return *_instance; }

    // A call through the host's own call path (`me` added as argument 0).
    Moa::TMoaValue call(int32_t i_index, const std::vector<Moa::TMoaValue>& i_arguments);
    // A call record made here, as a careless host might: any method index,
    // any argument count, the arguments pointer possibly null.
    Moa::TMoaValue callRaw(int32_t i_index, int32_t i_argument_count, const Moa::TMoaValue* i_arguments);

    // An image value whose pixel locks are checked at the end.
    Moa::TMoaValue image(const MarkeyeHost::THostImage& i_image);
    // A 32-bit image of packed rows holding a copy of i_bgra (4 bytes per
    // pixel of that size).
    Moa::TMoaValue frameImage(const TFrameSize& i_size, const std::vector<uint8_t>& i_bgra);
    // The value's integer as the host's value service converts it; false
    // for a value it would not convert.
    bool toInteger(const Moa::TMoaValue& i_value, int32_t* o_integer);

private:
    void checkReleased();

    MarkeyeHost::EmulatedHost _host;
    std::unique_ptr<MarkeyeHost::HostXtraModule> _module;
    std::unique_ptr<MarkeyeHost::HostXtraInstance> _instance;
    std::vector<Moa::TMoaValue> _images;
};

}  // namespace MarkeyeFuzz
