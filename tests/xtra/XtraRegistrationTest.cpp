#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "IMoaXtra.h"
#include "XtraTestSupport.h"

using namespace Moa;
using namespace XtraTest;

namespace {

using MarkeyeHost::HostDictionary;
using MarkeyeHost::HostRegistry;

constexpr size_t TEXT_BUFFER_SIZE = 719;

class XtraRegistrationTest : public XtraHostTest
{
protected:
    // The registration the module made when the host loaded it.
    const HostRegistry::TEntry& loadEntry() { return _host.registry().entries().front(); }

    std::string registeredText()
    {
        const HostDictionary::TEntry* text = loadEntry().dictionary->find(MOA_KEY_METHOD_TABLE);
        if (text == nullptr) {
            ADD_FAILURE() << "no method table registered";
            return {};
        }
        EXPECT_EQ(text->type, MOA_DICT_TEXT);
        return std::string(text->data.begin(), text->data.end());
    }

    IMoaRegister* registration()
    {
        void* interface = nullptr;
        EXPECT_EQ(_tracker->QueryInterface(&IMoaRegister::INTERFACE_ID, &interface), MOA_OK);
        return static_cast<IMoaRegister*>(interface);
    }
};

std::vector<std::string> splitLines(const std::string& i_text)
{
    std::vector<std::string> lines;
    std::istringstream stream(i_text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST_F(XtraRegistrationTest, EntryIsForTheScriptInterfaceUnderTheModulesDictionary)
{
    ASSERT_EQ(_host.registry().entries().size(), 1u);
    EXPECT_TRUE(loadEntry().class_id == _module->classId());
    EXPECT_TRUE(loadEntry().interface_id == IMoaMmXScript::INTERFACE_ID);
    EXPECT_EQ(loadEntry().xtra_dictionary, &_host.xtraDictionary());
}

TEST_F(XtraRegistrationTest, MethodTableTextIsExact)
{
    const std::string text = registeredText();
    EXPECT_LT(text.size() + 1, TEXT_BUFFER_SIZE);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const std::vector<std::string> lines = splitLines(text);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], "xtra Markeye");
    EXPECT_EQ(lines[1].compare(0, 3, "-- "), 0);
    EXPECT_EQ(lines[2].compare(0, 3, "-- "), 0);
    EXPECT_EQ(lines[3], "");
    const std::vector<std::string> methods = {
        "new object me, any cameraFileOrList, integer w, integer h",
        "/forget object me",
        "setConfidenceTreshold object me, float minConfidence",
        "loadPatternFile object me, string patternFile, *patternWidth, patternHeight",
        "loadPatternList object me, list patternList, *patternWidth, patternHeight",
        "unloadAllPatterns object me",
        "detectSingleMarker object me, object \xED" "mage",
        "detectMarkers object me, object \xED" "mage",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), methods);
}

TEST_F(XtraRegistrationTest, ImageArgumentNameBeginsWithByteED)
{
    const std::vector<std::string> lines = splitLines(registeredText());
    ASSERT_EQ(lines.size(), 12u);
    for (const std::string& line : {lines[10], lines[11]}) {
        const size_t name = line.rfind(' ') + 1;
        EXPECT_EQ(static_cast<unsigned char>(line[name]), 0xEDu);
        EXPECT_EQ(line.substr(name + 1), "mage");
    }
}

TEST_F(XtraRegistrationTest, SafeFlagIsOneByteOfOne)
{
    const HostDictionary::TEntry* flag = loadEntry().dictionary->find(MOA_KEY_SAFE_FLAG);
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag->type, MOA_DICT_FLAG);
    EXPECT_EQ(flag->data, std::vector<uint8_t>{1});
    EXPECT_EQ(loadEntry().dictionary->entries().size(), 2u);
}

TEST_F(XtraRegistrationTest, MethodLinesGiveTheCallIndices)
{
    const std::vector<std::string> expected = {"new",
                                               "forget",
                                               "setConfidenceTreshold",
                                               "loadPatternFile",
                                               "loadPatternList",
                                               "unloadAllPatterns",
                                               "detectSingleMarker",
                                               "detectMarkers"};
    ASSERT_NE(_module->methodTable(), nullptr);
    EXPECT_EQ(_module->methodTable()->moduleName(), "Markeye");
    EXPECT_EQ(_module->methodTable()->methodNames(), expected);
}

TEST_F(XtraRegistrationTest, NoTextBufferMeansOutOfMemoryAndNothingPut)
{
    IMoaRegister* registering = registration();
    _host.allocator().failAfter(0);
    EXPECT_EQ(registering->Register(&_host.registry(), &_host.xtraDictionary()), MOA_OUT_OF_MEMORY);
    _host.allocator().neverFail();
    ASSERT_EQ(_host.registry().entries().size(), 2u);
    EXPECT_TRUE(_host.registry().entries().back().dictionary->entries().empty());
    registering->Release();
}

TEST_F(XtraRegistrationTest, RefusedEntryEndsRegistrationWithItsStatus)
{
    IMoaRegister* registering = registration();
    const TMoaStatus refusal = static_cast<TMoaStatus>(0x80040077u);
    _host.registry().refuseEntries(refusal);
    const int32_t failed_before = _host.allocator().failedRequests();
    EXPECT_EQ(registering->Register(&_host.registry(), &_host.xtraDictionary()), refusal);
    EXPECT_EQ(_host.registry().entries().size(), 1u);
    EXPECT_EQ(_host.allocator().failedRequests(), failed_before);
    registering->Release();
}

TEST_F(XtraRegistrationTest, RegisteringAgainPutsTheSameText)
{
    IMoaRegister* registering = registration();
    ASSERT_EQ(registering->Register(&_host.registry(), &_host.xtraDictionary()), MOA_OK);
    registering->Release();
    ASSERT_EQ(_host.registry().entries().size(), 2u);
    const HostDictionary::TEntry* again = _host.registry().entries().back().dictionary->find(MOA_KEY_METHOD_TABLE);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::string(again->data.begin(), again->data.end()), registeredText());
}

}  // namespace
