#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ElfDynamicSymbols.h"
#include "IMoaXtra.h"
#include "TStdXtra.h"
#include "XtraTestSupport.h"

using namespace Moa;
using namespace XtraTest;

namespace {

constexpr uint32_t CLASS_VERSION = 0x109C0;
constexpr TMoaId UNKNOWN_ID = {{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE,
                                0xFF, 0x00}};

class XtraEntryPointTest : public XtraHostTest
{
protected:
    // Asks the tracker instance for an interface through the host.
    template <class TInterface>
    TInterface* queryInterface()
    {
        void* interface = nullptr;
        EXPECT_EQ(_tracker->QueryInterface(&TInterface::INTERFACE_ID, &interface), MOA_OK);
        return static_cast<TInterface*>(interface);
    }
};

TEST_F(XtraEntryPointTest, ModuleExportsExactlyTheSixEntryPoints)
{
    std::vector<std::string> names = definedDynamicSymbols(MARKEYE_XTRA_MODULE);
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassForm",   "DllGetClassInfo",
                                               "DllGetClassObject", "DllGetInterface", "ppcSetFileRef"};
    EXPECT_EQ(names, expected);
}

TEST_F(XtraEntryPointTest, GetClassObjectAlwaysAnswersNoSuchClass)
{
    void* object = nullptr;
    EXPECT_EQ(_module->exports().getClassObject(&_module->classId(), &IMoaMmXScript::INTERFACE_ID, &object),
              MOA_NO_SUCH_CLASS);
    EXPECT_EQ(object, nullptr);
}

TEST_F(XtraEntryPointTest, ClassTableListsClassAndBothInterfacesThenAllZeroTerminator)
{
    std::vector<TMoaClassInfoEntry> entries;
    ASSERT_EQ(_module->readClassInfo(&entries), MOA_OK);
    ASSERT_EQ(entries.size(), 4u);
    const TMoaId class_id = entries[0].class_id;
    const TMoaId interfaces[] = {MOA_CLASS_ENTRY_ID, IMoaRegister::INTERFACE_ID, IMoaMmXScript::INTERFACE_ID};
    const uint32_t versions[] = {1, CLASS_VERSION, CLASS_VERSION};
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(entries[i].class_id == class_id) << "entry " << i;
        EXPECT_EQ(entries[i].class_version, CLASS_VERSION) << "entry " << i;
        EXPECT_TRUE(entries[i].interface_id == interfaces[i]) << "entry " << i;
        EXPECT_EQ(entries[i].interface_version, versions[i]) << "entry " << i;
    }
    const TMoaClassInfoEntry zero = {};
    EXPECT_EQ(std::memcmp(&entries[3], &zero, sizeof(zero)), 0);
    EXPECT_FALSE(class_id == TMoaId{});
}

TEST_F(XtraEntryPointTest, ClassTableNeedsTheHostsMemory)
{
    TMoaClassInfoEntry untouched = {};
    TMoaClassInfoEntry* table = &untouched;
    _host.allocator().failAfter(0);
    EXPECT_EQ(_module->exports().getClassInfo(&_host.allocator(), &table), MOA_OUT_OF_MEMORY);
    EXPECT_EQ(table, &untouched);
}

TEST_F(XtraEntryPointTest, ClassFormGivesTheRecordSizeAndBothFunctions)
{
    uint32_t size = 0;
    TMoaCreateFunction create = nullptr;
    TMoaDestroyFunction destroy = nullptr;
    ASSERT_EQ(_module->exports().getClassForm(&_module->classId(), &size, &create, &destroy), MOA_OK);
    EXPECT_EQ(size, sizeof(VoXtra::TStdXtra));
    EXPECT_NE(create, nullptr);
    EXPECT_NE(destroy, nullptr);
}

TEST_F(XtraEntryPointTest, ClassFormOfAnotherClassLeavesTheOutputsAlone)
{
    uint32_t size = 7;
    TMoaCreateFunction create = nullptr;
    TMoaDestroyFunction destroy = nullptr;
    EXPECT_EQ(_module->exports().getClassForm(&UNKNOWN_ID, &size, &create, &destroy), MOA_NO_SUCH_CLASS);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(create, nullptr);
    EXPECT_EQ(destroy, nullptr);
}

TEST_F(XtraEntryPointTest, UnknownInterfaceOrClassMakesNothing)
{
    const TMoaId class_id = _module->classId();
    const struct
    {
        TMoaId class_id;
        TMoaId interface_id;
    } requests[] = {{class_id, UNKNOWN_ID}, {UNKNOWN_ID, IMoaMmXScript::INTERFACE_ID}, {class_id, TMoaId{}}};
    for (const auto& request : requests) {
        void* interface = nullptr;
        EXPECT_EQ(_module->exports().getInterface(_tracker->header(), &request.class_id, &request.interface_id,
                                                  &interface),
                  MOA_NO_SUCH_INTERFACE);
        EXPECT_EQ(interface, nullptr);
        EXPECT_EQ(_module->exports().canUnloadNow(), MOA_OK);
        EXPECT_EQ(_tracker->references(), 1);
    }
}

TEST_F(XtraEntryPointTest, ModuleCanUnloadOnlyWhileNoInterfaceLives)
{
    const TDllCanUnloadNow canUnloadNow = _module->exports().canUnloadNow;
    EXPECT_EQ(canUnloadNow(), MOA_OK);
    IMoaMmXScript* script = queryInterface<IMoaMmXScript>();
    IMoaRegister* registration = queryInterface<IMoaRegister>();
    EXPECT_EQ(canUnloadNow(), MOA_CANNOT_UNLOAD);
    script->Release();
    EXPECT_EQ(canUnloadNow(), MOA_CANNOT_UNLOAD);
    registration->AddRef();
    registration->Release();
    EXPECT_EQ(canUnloadNow(), MOA_CANNOT_UNLOAD);
    registration->Release();
    EXPECT_EQ(canUnloadNow(), MOA_OK);
}

// An interface holds one instance reference for its existence and one per
// count on itself: two when made.
TEST_F(XtraEntryPointTest, InterfaceHoldsInstanceReferencesForItsOwnCount)
{
    IMoaMmXScript* script = queryInterface<IMoaMmXScript>();
    EXPECT_EQ(_tracker->references(), 3);
    EXPECT_EQ(script->AddRef(), 2);
    EXPECT_EQ(_tracker->references(), 4);
    EXPECT_EQ(script->Release(), 1);
    EXPECT_EQ(_tracker->references(), 3);
    EXPECT_EQ(script->Release(), 0);
    EXPECT_EQ(_tracker->references(), 1);
}

TEST_F(XtraEntryPointTest, InstanceLivesUntilItsLastInterfaceIsReleased)
{
    IMoaMmXScript* script = queryInterface<IMoaMmXScript>();
    _tracker->Release();
    EXPECT_TRUE(_tracker->isAlive());
    EXPECT_EQ(_host.serviceReferences(), 4);
    script->Release();
    EXPECT_FALSE(_tracker->isAlive());
    EXPECT_EQ(_host.serviceReferences(), 0);
}

TEST_F(XtraEntryPointTest, QueryInterfaceOnAnInterfaceGoesToTheInstance)
{
    IMoaMmXScript* script = queryInterface<IMoaMmXScript>();
    void* interface = nullptr;
    ASSERT_EQ(script->QueryInterface(&IMoaRegister::INTERFACE_ID, &interface), MOA_OK);
    EXPECT_NE(interface, static_cast<void*>(script));
    static_cast<IMoaRegister*>(interface)->Release();
    void* unknown = nullptr;
    EXPECT_EQ(script->QueryInterface(&UNKNOWN_ID, &unknown), MOA_NO_SUCH_INTERFACE);
    EXPECT_EQ(unknown, nullptr);
    script->Release();
}

TEST_F(XtraEntryPointTest, InterfaceNeedsTheHostsMemory)
{
    _host.allocator().failAfter(0);
    void* interface = nullptr;
    EXPECT_EQ(_tracker->QueryInterface(&IMoaMmXScript::INTERFACE_ID, &interface), MOA_OUT_OF_MEMORY);
    EXPECT_EQ(interface, nullptr);
    EXPECT_EQ(_tracker->references(), 1);
    EXPECT_EQ(_module->exports().canUnloadNow(), MOA_OK);
}

// The process's new-handler is given the chance to free memory before an
// interface record is given up.
class XtraNewHandlerTest : public XtraEntryPointTest
{
protected:
    void TearDown() override
    {
        std::set_new_handler(nullptr);
        XtraEntryPointTest::TearDown();
    }

    static int s_calls;
    static MarkeyeHost::HostAllocator* s_allocator;

    static void freeMemory()
    {
        s_calls++;
        s_allocator->neverFail();
    }
    static void giveUp()
    {
        s_calls++;
        throw std::bad_alloc();
    }
};

int XtraNewHandlerTest::s_calls = 0;
MarkeyeHost::HostAllocator* XtraNewHandlerTest::s_allocator = nullptr;

TEST_F(XtraNewHandlerTest, HandlerThatFreesMemoryLetsTheInterfaceBeMade)
{
    s_calls = 0;
    s_allocator = &_host.allocator();
    _host.allocator().failAfter(0);
    std::set_new_handler(freeMemory);
    IMoaMmXScript* script = queryInterface<IMoaMmXScript>();
    EXPECT_EQ(s_calls, 1);
    ASSERT_NE(script, nullptr);
    script->Release();
}

TEST_F(XtraNewHandlerTest, HandlerThatGivesUpEndsTheAttempt)
{
    s_calls = 0;
    _host.allocator().failAfter(0);
    std::set_new_handler(giveUp);
    void* interface = nullptr;
    EXPECT_EQ(_tracker->QueryInterface(&IMoaMmXScript::INTERFACE_ID, &interface), MOA_OUT_OF_MEMORY);
    EXPECT_EQ(s_calls, 1);
    EXPECT_EQ(interface, nullptr);
}

// Create asks for the value, image, list and matrix services in that order
// and stops at the first refusal, giving back those it took.
class XtraCreateTest : public XtraHostTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(XtraCreateTest, RefusedServiceEndsCreateWithItsStatus)
{
    const TMoaId order[] = {IMoaValueService::INTERFACE_ID, IMoaImageService::INTERFACE_ID,
                            IMoaListService::INTERFACE_ID, IMoaMatrixService::INTERFACE_ID};
    const int refused = GetParam();
    const TMoaStatus refusal = static_cast<TMoaStatus>(0x80040123u);
    _host.callback().refuseService(order[refused], refusal);
    const size_t asked_before = _host.callback().requests().size();
    HostXtraInstance instance(_module.get());
    EXPECT_EQ(instance.createStatus(), refusal);
    EXPECT_FALSE(instance.isAlive());
    const std::vector<TMoaId>& requests = _host.callback().requests();
    ASSERT_EQ(requests.size() - asked_before, static_cast<size_t>(refused + 1));
    for (int i = 0; i <= refused; i++) {
        EXPECT_TRUE(requests[asked_before + i] == order[i]) << "request " << i;
    }
    // The fixture's own tracker holds its four.
    EXPECT_EQ(_host.serviceReferences(), 4);
}

INSTANTIATE_TEST_SUITE_P(EachService, XtraCreateTest, ::testing::Values(0, 1, 2, 3));

TEST_F(XtraEntryPointTest, InstanceHoldsFourServicesUntilDestroyed)
{
    EXPECT_EQ(_host.serviceReferences(), 4);
    _tracker.reset();
    EXPECT_EQ(_host.serviceReferences(), 0);
}

}  // namespace
