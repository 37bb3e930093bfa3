#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HostXtraModule.h"
#include "IMoaXtra.h"
#include "MoaTypes.h"

namespace MarkeyeHost {

// One instance of a module's class as the host makes it: a record of the
// registered size whose header the host fills (the rest is filled with a
// stray byte pattern, so that nothing relies on fresh memory being zero),
// the class's create function, and the host's reference-counted object for
// it. The last Release runs the destroy function and frees the record.
class HostXtraInstance final : public Moa::IMoaUnknown
{
public:
    static constexpr uint8_t STRAY_BYTE = 0xCD;

    struct TCallOutcome
    {
        Moa::TMoaStatus status;
        Moa::TMoaValue result;
    };

    // Makes the record and runs create; on failure the record is freed at
    // once without destroy and createStatus() tells why.
    explicit HostXtraInstance(HostXtraModule* io_module);
    // Releases the script interface it holds and the host's own reference.
    ~HostXtraInstance();
    HostXtraInstance(const HostXtraInstance&) = delete;
    HostXtraInstance& operator=(const HostXtraInstance&) = delete;

    Moa::TMoaStatus createStatus() const { return _create_status; }
    // True while the record exists.
    bool isAlive() const { return _record != nullptr; }
    int32_t references() const { return _references; }
    Moa::TMoaInstanceHeader* header() const { return static_cast<Moa::TMoaInstanceHeader*>(_record); }

    // Asks the module for the interface (DllGetInterface).
    Moa::TMoaStatus QueryInterface(const Moa::TMoaId* i_id, void** o_interface) override;
    int32_t AddRef() override;
    int32_t Release() override;

    // Calls a method by its registered name, or by call index; `me` is
    // added as argument 0. The script interface is asked for at the first
    // call and held until the instance ends. A name that is not registered
    // throws std::invalid_argument.
    TCallOutcome call(const std::string& i_method, const std::vector<Moa::TMoaValue>& i_arguments = {});
    TCallOutcome callIndex(int32_t i_index, const std::vector<Moa::TMoaValue>& i_arguments = {});

private:
    Moa::IMoaMmXScript* script();
    void freeRecord();

    HostXtraModule* _module;
    void* _record;
    int32_t _references;
    Moa::TMoaStatus _create_status;
    Moa::IMoaMmXScript* _script;
    Moa::TMoaValue _me;
};

}  // namespace MarkeyeHost
