#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedHost.h"
#include "HostMethodTable.h"
#include "IMoaXtra.h"
#include "MoaTypes.h"

namespace MarkeyeHost {

// A plug-in module as the host loads it: opened with the dynamic loader,
// its six entry points resolved, its class read from the class-information
// table and the class form, and its script methods registered and read
// back from the registry.
class HostXtraModule
{
public:
    struct TExports
    {
        Moa::TDllGetClassObject getClassObject;
        Moa::TDllCanUnloadNow canUnloadNow;
        Moa::TDllGetClassInfo getClassInfo;
        Moa::TDllGetInterface getInterface;
        Moa::TDllGetClassForm getClassForm;
        Moa::TPpcSetFileRef setFileRef;
    };

    // Loads, reads the class and registers. Throws std::runtime_error, with
    // the loader's message where there is one, when any step fails.
    HostXtraModule(EmulatedHost* io_host, const std::string& i_path);
    // Closes the module; every instance and interface must be gone.
    ~HostXtraModule();
    HostXtraModule(const HostXtraModule&) = delete;
    HostXtraModule& operator=(const HostXtraModule&) = delete;

    const TExports& exports() const { return _exports; }
    EmulatedHost* host() const { return _host; }

    // Asks for the class-information table with the host's allocator and
    // copies its entries, terminator included, then frees it. Returns the
    // entry point's status.
    Moa::TMoaStatus readClassInfo(std::vector<Moa::TMoaClassInfoEntry>* o_entries) const;
    // Registers the class with the host's registry through a short-lived
    // instance and reads the method table back. Returns the registration's
    // status; the method table is read only on success.
    Moa::TMoaStatus registerMethods();

    const Moa::TMoaId& classId() const { return _class_id; }
    uint32_t instanceSize() const { return _instance_size; }
    Moa::TMoaCreateFunction createFunction() const { return _create; }
    Moa::TMoaDestroyFunction destroyFunction() const { return _destroy; }
    // Null until the methods are registered.
    const HostMethodTable* methodTable() const { return _method_table.get(); }

private:
    void resolveExports();
    void loadClass();

    EmulatedHost* _host;
    void* _handle;
    TExports _exports;
    Moa::TMoaId _class_id;
    uint32_t _instance_size;
    Moa::TMoaCreateFunction _create;
    Moa::TMoaDestroyFunction _destroy;
    std::unique_ptr<HostMethodTable> _method_table;
};

}  // namespace MarkeyeHost
