#include "TStdXtra_IMoaRegister.h"

#include <cstring>

#include "TStdXtraClass.h"

using namespace Moa;

namespace VoXtra {

namespace {

// Hosts and scripts know the methods by this text byte for byte: the image
// argument's name is the byte 0xED followed by "mage".
constexpr char METHOD_TABLE[] =
    "xtra Markeye\n"
    "-- Markeye square-marker tracker: one object per camera and frame size\n"
    "-- Patterns load in order, at most ten; poses are 4 x 4 matrices\n"
    "\n"
    "new object me, any cameraFileOrList, integer w, integer h\n"
    "/forget object me\n"
    "setConfidenceTreshold object me, float minConfidence\n"
    "loadPatternFile object me, string patternFile, *patternWidth, patternHeight\n"
    "loadPatternList object me, list patternList, *patternWidth, patternHeight\n"
    "unloadAllPatterns object me\n"
    "detectSingleMarker object me, object \xED" "mage\n"
    "detectMarkers object me, object \xED" "mage\n";

static_assert(sizeof(METHOD_TABLE) <= TStdXtra_IMoaRegister::TEXT_BUFFER_SIZE,
              "the method table fits its buffer with its NUL");

constexpr uint8_t SAFE_FLAG = 1;

}  // namespace

TMoaStatus TStdXtra_IMoaRegister::Register(IMoaRegistrationCache* i_cache, IMoaDictionary* i_xtra_dictionary)
{
    IMoaDictionary* entry = nullptr;
    TMoaStatus status =
        i_cache->addEntry(i_xtra_dictionary, &TStdXtraClass::CLASS_ID, &IMoaMmXScript::INTERFACE_ID, &entry);
    if (status != MOA_OK) {
        return status;
    }
    IMoaHostAllocator* allocator = _xtra->allocator();
    char* text = static_cast<char*>(allocator->allocate(TEXT_BUFFER_SIZE));
    if (text == nullptr) {
        return MOA_OUT_OF_MEMORY;
    }
    std::memcpy(text, METHOD_TABLE, sizeof(METHOD_TABLE));
    status = entry->put(MOA_DICT_TEXT, text, 0, MOA_KEY_METHOD_TABLE);
    if (status == MOA_OK) {
        status = entry->put(MOA_DICT_FLAG, &SAFE_FLAG, 1, MOA_KEY_SAFE_FLAG);
    }
    allocator->free(text);
    return status;
}

}  // namespace VoXtra
