#include "HostXtraModule.h"

#include <dlfcn.h>

#include <stdexcept>

#include "HostXtraInstance.h"

using namespace Moa;

namespace MarkeyeHost {

namespace {

std::string loaderError(const std::string& i_what)
{
    const char* message = dlerror();
    return i_what + ": " + (message != nullptr ? message : "unknown error");
}

template <class TFunction>
TFunction resolve(void* i_handle, const char* i_name)
{
    void* symbol = dlsym(i_handle, i_name);
    if (symbol == nullptr) {
        throw std::runtime_error(loaderError(std::string("no entry point ") + i_name));
    }
    return reinterpret_cast<TFunction>(symbol);
}

bool isTerminator(const TMoaClassInfoEntry& i_entry)
{
    constexpr TMoaId NO_ID = {};
    return i_entry.class_id == NO_ID && i_entry.interface_id == NO_ID;
}

}  // namespace

HostXtraModule::HostXtraModule(EmulatedHost* io_host, const std::string& i_path)
    : _host(io_host),
      _handle(dlopen(i_path.c_str(), RTLD_NOW | RTLD_LOCAL)),
      _exports{},
      _class_id{},
      _instance_size(0),
      _create(nullptr),
      _destroy(nullptr)
{
    if (_handle == nullptr) {
        throw std::runtime_error(loaderError("cannot open " + i_path));
    }
    try {
        resolveExports();
        loadClass();
        if (registerMethods() != MOA_OK) {
            throw std::runtime_error("the module's registration failed");
        }
    } catch (...) {
        dlclose(_handle);
        throw;
    }
}

HostXtraModule::~HostXtraModule()
{
    dlclose(_handle);
}

void HostXtraModule::resolveExports()
{
    _exports.getClassObject = resolve<TDllGetClassObject>(_handle, "DllGetClassObject");
    _exports.canUnloadNow = resolve<TDllCanUnloadNow>(_handle, "DllCanUnloadNow");
    _exports.getClassInfo = resolve<TDllGetClassInfo>(_handle, "DllGetClassInfo");
    _exports.getInterface = resolve<TDllGetInterface>(_handle, "DllGetInterface");
    _exports.getClassForm = resolve<TDllGetClassForm>(_handle, "DllGetClassForm");
    _exports.setFileRef = resolve<TPpcSetFileRef>(_handle, "ppcSetFileRef");
}

// The first entry describes the class; the class form gives what the host
// needs to make its instances.
void HostXtraModule::loadClass()
{
    std::vector<TMoaClassInfoEntry> entries;
    if (readClassInfo(&entries) != MOA_OK || entries.size() < 2) {
        throw std::runtime_error("the module describes no class");
    }
    _class_id = entries.front().class_id;
    if (_exports.getClassForm(&_class_id, &_instance_size, &_create, &_destroy) != MOA_OK) {
        throw std::runtime_error("the module gives no form for its class");
    }
}

TMoaStatus HostXtraModule::readClassInfo(std::vector<TMoaClassInfoEntry>* o_entries) const
{
    TMoaClassInfoEntry* table = nullptr;
    const TMoaStatus status = _exports.getClassInfo(&_host->allocator(), &table);
    if (status != MOA_OK) {
        return status;
    }
    o_entries->clear();
    for (const TMoaClassInfoEntry* entry = table;; entry++) {
        o_entries->push_back(*entry);
        if (isTerminator(*entry)) {
            break;
        }
    }
    _host->allocator().free(table);
    return MOA_OK;
}

TMoaStatus HostXtraModule::registerMethods()
{
    HostXtraInstance instance(this);
    if (instance.createStatus() != MOA_OK) {
        return instance.createStatus();
    }
    void* interface = nullptr;
    TMoaStatus status = instance.QueryInterface(&IMoaRegister::INTERFACE_ID, &interface);
    if (status != MOA_OK) {
        return status;
    }
    IMoaRegister* registration = static_cast<IMoaRegister*>(interface);
    status = registration->Register(&_host->registry(), &_host->xtraDictionary());
    registration->Release();
    if (status != MOA_OK) {
        return status;
    }
    const HostDictionary::TEntry* text = _host->registry().entries().back().dictionary->find(MOA_KEY_METHOD_TABLE);
    if (text == nullptr) {
        throw std::runtime_error("the module registered no method table");
    }
    _method_table = std::make_unique<HostMethodTable>(std::string(text->data.begin(), text->data.end()));
    return MOA_OK;
}

}  // namespace MarkeyeHost
