#include "HostXtraInstance.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

using namespace Moa;

namespace MarkeyeHost {

HostXtraInstance::HostXtraInstance(HostXtraModule* io_module)
    : _module(io_module),
      _record(std::malloc(io_module->instanceSize())),
      _references(1),
      _create_status(MOA_OK),
      _script(nullptr),
      _me(io_module->host()->values().makeObject())
{
    if (_record == nullptr) {
        throw std::bad_alloc();
    }
    std::memset(_record, STRAY_BYTE, _module->instanceSize());
    EmulatedHost* host = _module->host();
    const TMoaInstanceHeader filled = {this, &host->callback(), &host->allocator()};
    std::memcpy(_record, &filled, sizeof(filled));
    _create_status = _module->createFunction()(header());
    if (_create_status != MOA_OK) {
        freeRecord();
        _references = 0;
    }
}

HostXtraInstance::~HostXtraInstance()
{
    if (_script != nullptr) {
        _script->Release();
    }
    if (isAlive()) {
        Release();
    }
}

TMoaStatus HostXtraInstance::QueryInterface(const TMoaId* i_id, void** o_interface)
{
    if (!isAlive()) {
        return MOA_NO_SUCH_INTERFACE;
    }
    return _module->exports().getInterface(header(), &_module->classId(), i_id, o_interface);
}

int32_t HostXtraInstance::AddRef()
{
    return ++_references;
}

int32_t HostXtraInstance::Release()
{
    if (--_references == 0 && isAlive()) {
        _module->destroyFunction()(header());
        freeRecord();
    }
    return _references;
}

void HostXtraInstance::freeRecord()
{
    std::free(_record);
    _record = nullptr;
}

IMoaMmXScript* HostXtraInstance::script()
{
    if (_script == nullptr) {
        void* interface = nullptr;
        if (QueryInterface(&IMoaMmXScript::INTERFACE_ID, &interface) != MOA_OK) {
            throw std::runtime_error("the instance has no script interface");
        }
        _script = static_cast<IMoaMmXScript*>(interface);
    }
    return _script;
}

HostXtraInstance::TCallOutcome HostXtraInstance::call(const std::string& i_method,
                                                      const std::vector<TMoaValue>& i_arguments)
{
    const HostMethodTable* table = _module->methodTable();
    const int32_t index = table != nullptr ? table->indexOf(i_method) : -1;
    if (index < 0) {
        throw std::invalid_argument("no method " + i_method);
    }
    return callIndex(index, i_arguments);
}

HostXtraInstance::TCallOutcome HostXtraInstance::callIndex(int32_t i_index, const std::vector<TMoaValue>& i_arguments)
{
    std::vector<TMoaValue> arguments;
    arguments.reserve(i_arguments.size() + 1);
    arguments.push_back(_me);
    arguments.insert(arguments.end(), i_arguments.begin(), i_arguments.end());
    TMoaCallInfo info = {i_index, MOA_VOID_VALUE, static_cast<int32_t>(arguments.size()), arguments.data()};
    const TMoaStatus status = script()->Call(&info);
    return {status, info.result};
}

}  // namespace MarkeyeHost
