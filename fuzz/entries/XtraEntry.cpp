// Fuzz entry: the plug-in driven through the emulated host.
//
// Input: a sequence of steps. The first byte of a step chooses what it is:
// a script call through the host (method index from 0 to 9, so 8 and 9 are
// out of range), a call record made by hand (any 32-bit index, any argument
// count, possibly no argument array), a game with the interface objects, or
// a call made while the host's memory runs out. Every argument is drawn from
// the input: integers, floats, strings (file names among them), lists of
// any length and nesting, images of any depth, size and row length, with or
// without pixels, and values the host never made.

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "FuzzXtra.h"
#include "IMoaXtra.h"
#include "markeye/Pattern.h"
#include "XtraFrameLimit.h"

using namespace Moa;
using MarkeyeHost::HostValueStore;
using MarkeyeHost::THostImage;

namespace MarkeyeFuzz {

namespace {

constexpr int32_t MAX_STEPS = 40;
constexpr int32_t MAX_ARGUMENTS = 6;
constexpr int32_t MAX_DEPTH = 2;
constexpr int32_t MAX_LIST_LENGTH = 40;
// Frames the fuzzer lets a tracker analyse, in pixels: each pattern loaded
// builds tables of that size, and larger frames only cost time here (the
// frame limit itself is tested at its edges elsewhere); and the most pixel
// bytes of one image made here. The lean entry keeps to small frames.
struct TBudget
{
    int64_t frame_pixels;
    int64_t image_bytes;
};
constexpr TBudget BUDGET = {65536, int64_t{1} << 20};
constexpr TBudget LEAN_BUDGET = {4096, int64_t{1} << 16};

// Step kinds by their first byte.
constexpr uint8_t STEP_RAW_CALL = 192;
constexpr uint8_t STEP_INTERFACES = 224;
constexpr uint8_t STEP_SHORTAGE = 240;

constexpr int32_t EDGE_INTEGERS[] = {0,    1,    2,    3,    16,    64,    120,   160,
                                     640,  480,  -1,   -160, 8192,  8193,  70000, 46341,
                                     65536, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
constexpr int32_t PATTERN_SIZES[] = {16, 8, 4, 1, 2, 32, 64, 3, 0, -16, 128};
constexpr int32_t DEPTHS[] = {32, 32, 32, 16, 8, 24, 0, -32};

template <class T, size_t N>
T pick(FuzzInput& io_in, const T (&i_choices)[N])
{
    return i_choices[io_in.choose(static_cast<uint32_t>(N))];
}

// Files the string arguments may name, written once per process.
const std::vector<std::string>& knownFiles()
{
    static const std::vector<std::string> files = [] {
        std::vector<std::string> paths;
        paths.push_back(writeTempFile("xtra-camera.dat", builtinCameraBytes()));
        for (int32_t size : {16, 8, 4, 1}) {
            const std::string path = tempPath("xtra-" + std::to_string(size) + ".pat");
            markeye::Pattern::fromNumbers(patternNumbers(0, size), size, size).save(path);
            paths.push_back(path);
        }
        const std::string text = "255 255 12abc 0\n";
        paths.push_back(writeTempFile("xtra-bad.pat", std::vector<uint8_t>(text.begin(), text.end())));
        paths.push_back(tempPath("xtra-missing.dat"));
        paths.push_back(tempPath(""));
        paths.push_back("/dev/null");
        paths.push_back("");
        paths.push_back("/dev/zero");
        // Nobody writes to it: a reader that opens it waits for ever.
        const std::string fifo = tempPath("xtra-fifo");
        if (::mkfifo(fifo.c_str(), 0600) == 0) {
            paths.push_back(fifo);
        }
        return paths;
    }();
    return files;
}

class Session
{
public:
    Session(FuzzXtra* io_xtra, FuzzInput* io_in, const TBudget& i_budget)
        : _xtra(*io_xtra), _in(*io_in), _values(io_xtra->values()), _budget(i_budget)
    {
    }

    void run()
    {
        for (int32_t step = 0; step < MAX_STEPS && !_in.empty(); step++) {
            const uint8_t kind = _in.u8();
            if (kind < STEP_RAW_CALL) {
                scriptCall(kind % (METHOD_COUNT + 2));
            } else if (kind < STEP_INTERFACES) {
                rawCall();
            } else if (kind < STEP_SHORTAGE) {
                interfaceGame();
            } else {
                memoryShortage();
            }
        }
    }

private:
    void scriptCall(int32_t i_method)
    {
        std::vector<TMoaValue> arguments(1, _values.makeObject());
        const int32_t count = static_cast<int32_t>(_in.choose(MAX_ARGUMENTS + 1));
        for (int32_t k = 0; k < count; k++) {
            arguments.push_back(value(0));
        }
        if (tooCostly(i_method, arguments)) {
            return;
        }
        keep(_xtra.call(i_method, std::vector<TMoaValue>(arguments.begin() + 1, arguments.end())));
    }

    // A call record as a careless host might fill it.
    void rawCall()
    {
        const int32_t method = (_in.u8() & 1) != 0 ? _in.i32() : static_cast<int32_t>(_in.choose(METHOD_COUNT + 2));
        std::vector<TMoaValue> arguments(1, _values.makeObject());
        switch (_in.choose(4)) {
        case 0:
            keep(_xtra.callRaw(method, 0, nullptr));
            return;
        case 1:
            keep(_xtra.callRaw(method, static_cast<int32_t>(_in.choose(MAX_ARGUMENTS + 1)), nullptr));
            return;
        case 2:
            keep(_xtra.callRaw(method, -1 - static_cast<int32_t>(_in.u8()), arguments.data()));
            return;
        default:
            break;
        }
        const int32_t count = static_cast<int32_t>(_in.choose(MAX_ARGUMENTS + 1));
        for (int32_t k = 0; k < count; k++) {
            arguments.push_back(value(0));
        }
        if (tooCostly(method, arguments)) {
            return;
        }
        keep(_xtra.callRaw(method, static_cast<int32_t>(arguments.size()), arguments.data()));
    }

    // Reference counting and registration, as the host may use them.
    void interfaceGame()
    {
        MarkeyeHost::HostXtraInstance& instance = _xtra.instance();
        const MarkeyeHost::HostXtraModule::TExports& exports = _xtra.module().exports();
        void* interface = nullptr;
        switch (_in.choose(5)) {
        case 0:
            if (instance.QueryInterface(&IMoaRegister::INTERFACE_ID, &interface) == MOA_OK) {
                auto* registration = static_cast<IMoaRegister*>(interface);
                registration->Register(&_xtra.host().registry(), &_xtra.host().xtraDictionary());
                registration->Release();
            }
            return;
        case 1: {
            TMoaId unknown = IMoaMmXScript::INTERFACE_ID;
            unknown.bytes[_in.u8() % 16] ^= static_cast<uint8_t>(1 + _in.u8() % 255);
            instance.QueryInterface(&unknown, &interface);
            return;
        }
        case 2:
            if (instance.QueryInterface(&IMoaMmXScript::INTERFACE_ID, &interface) == MOA_OK) {
                auto* script = static_cast<IMoaMmXScript*>(interface);
                const int32_t extra = _in.u8() % 4;
                for (int32_t k = 0; k < extra; k++) {
                    script->AddRef();
                }
                for (int32_t k = 0; k <= extra; k++) {
                    script->Release();
                }
            }
            return;
        case 3:
            readClassInfo();
            return;
        default: {
            uint32_t size = 0;
            TMoaCreateFunction create = nullptr;
            TMoaDestroyFunction destroy = nullptr;
            exports.getClassForm(&_xtra.module().classId(), &size, &create, &destroy);
            exports.getClassForm(nullptr, &size, &create, &destroy);
            exports.getInterface(instance.header(), nullptr, nullptr, &interface);
            exports.getClassObject(nullptr, nullptr, &interface);
            exports.setFileRef(_in.i32());
            return;
        }
        }
    }

    void readClassInfo()
    {
        TMoaClassInfoEntry* table = nullptr;
        if (_xtra.module().exports().getClassInfo(&_xtra.host().allocator(), &table) == MOA_OK) {
            _xtra.host().allocator().free(table);
        }
    }

    // One request that needs host memory, made while the host has little.
    void memoryShortage()
    {
        MarkeyeHost::HostAllocator& allocator = _xtra.host().allocator();
        allocator.failAfter(static_cast<int32_t>(_in.choose(3)));
        void* interface = nullptr;
        switch (_in.choose(3)) {
        case 0:
            if (_xtra.instance().QueryInterface(&IMoaMmXScript::INTERFACE_ID, &interface) == MOA_OK) {
                static_cast<IMoaMmXScript*>(interface)->Release();
            }
            break;
        case 1:
            if (_xtra.instance().QueryInterface(&IMoaRegister::INTERFACE_ID, &interface) == MOA_OK) {
                auto* registration = static_cast<IMoaRegister*>(interface);
                registration->Register(&_xtra.host().registry(), &_xtra.host().xtraDictionary());
                registration->Release();
            }
            break;
        default:
            readClassInfo();
            break;
        }
        allocator.neverFail();
    }

    // A frame size the plug-in would accept but that is beyond the budget
    // here: the call is left out. Arguments include `me`.
    bool tooCostly(int32_t i_method, const std::vector<TMoaValue>& i_arguments)
    {
        int32_t width = 0;
        int32_t height = 0;
        if (i_method != METHOD_NEW || i_arguments.size() < 4 || !_xtra.toInteger(i_arguments[2], &width) ||
            !_xtra.toInteger(i_arguments[3], &height) || !VoXtra::XtraFrameLimit::accepts(width, height)) {
            return false;
        }
        if (int64_t{width} * height > _budget.frame_pixels) {
            return true;
        }
        _frame = {width, height};
        return false;
    }

    void keep(const TMoaValue& i_result)
    {
        if (!_values.isType(i_result, HostValueStore::TYPE_VOID)) {
            _produced.push_back(i_result);
        }
    }

    TMoaValue value(int32_t i_depth)
    {
        switch (_in.choose(13)) {
        case 0:
            return MOA_VOID_VALUE;
        case 1:
            return _values.makeInteger(_in.i32());
        case 2:
            return _values.makeInteger(static_cast<int8_t>(_in.u8()));
        case 3:
            return _values.makeInteger(pick(_in, EDGE_INTEGERS));
        case 4:
            return _values.makeFloat(_in.f64());
        case 5:
            return _values.makeFloat(static_cast<int8_t>(_in.u8()) / 4.0);
        case 6:
            return stringValue();
        case 7:
            return cameraList();
        case 8:
            return patternList();
        case 9:
            return anyList(i_depth);
        case 10:
            return imageValue();
        case 11:
            return otherValue();
        default:
            return earlierResult();
        }
    }

    TMoaValue stringValue()
    {
        const std::vector<std::string>& files = knownFiles();
        const uint32_t choice = _in.choose(static_cast<uint32_t>(files.size() + 1));
        if (choice < files.size()) {
            return _values.makeString(files[choice]);
        }
        return _values.makeString(_in.text(_in.u8()));
    }

    // The built-in camera's bytes, one element each, with some elements
    // changed and the length near 136.
    TMoaValue cameraList()
    {
        std::vector<int32_t> elements(builtinCameraBytes().begin(), builtinCameraBytes().end());
        elements.resize(static_cast<size_t>(static_cast<int32_t>(elements.size()) + static_cast<int8_t>(_in.u8()) % 4));
        editElements(&elements);
        return _values.makeIntegerList(elements);
    }

    // A built-in pattern's numbers for a grid size, with some changed and the
    // length near 12 x size x size.
    TMoaValue patternList()
    {
        const int32_t size = pick(_in, PATTERN_SIZES);
        const int32_t marker = _in.u8();
        std::vector<int32_t> numbers;
        if (size > 0 && size <= 64) {
            numbers = patternNumbers(marker, size);
        }
        const int32_t change = static_cast<int8_t>(_in.u8()) % 4;
        numbers.resize(static_cast<size_t>(std::max<int32_t>(0, static_cast<int32_t>(numbers.size()) + change)), 128);
        editElements(&numbers);
        return _values.makeIntegerList(numbers);
    }

    void editElements(std::vector<int32_t>* io_elements)
    {
        const int32_t edits = _in.u8() % 8;
        for (int32_t k = 0; k < edits && !io_elements->empty(); k++) {
            const size_t index = _in.u16() % io_elements->size();
            (*io_elements)[index] = (_in.u8() & 1) != 0 ? _in.i32() : _in.u8();
        }
    }

    TMoaValue anyList(int32_t i_depth)
    {
        const int32_t length = _in.u8() % (MAX_LIST_LENGTH + 1);
        std::vector<TMoaValue> elements;
        for (int32_t k = 0; k < length; k++) {
            elements.push_back(i_depth < MAX_DEPTH ? value(i_depth + 1) : _values.makeInteger(_in.u8()));
        }
        return _values.makeList(elements);
    }

    TMoaValue imageValue()
    {
        THostImage image;
        image.depth = (_in.u8() & 1) != 0 ? pick(_in, DEPTHS) : _in.i32();
        switch (_in.choose(5)) {
        case 0:
            image.width = _frame.width;
            image.height = _frame.height;
            break;
        case 1:
            image.width = _frame.height;
            image.height = _frame.width;
            break;
        case 2:
            image.width = _frame.width + 1;
            image.height = _frame.height;
            break;
        case 3:
            image.width = _in.u8() % 8;
            image.height = _in.u8() % 8;
            break;
        default:
            image.width = _in.i32();
            image.height = _in.i32();
            break;
        }
        const int64_t packed = int64_t{image.width} * (image.depth / 8);
        switch (_in.choose(5)) {
        case 0:
            image.row_bytes = clampToInt32(packed);
            break;
        case 1:
            image.row_bytes = clampToInt32(packed + 4);
            break;
        case 2:
            image.row_bytes = 0;
            break;
        case 3:
            image.row_bytes = clampToInt32(-packed);
            break;
        default:
            image.row_bytes = _in.i32();
            break;
        }
        fillPixels(&image);
        return _xtra.image(image);
    }

    static int32_t clampToInt32(int64_t i_value)
    {
        return static_cast<int32_t>(std::clamp<int64_t>(i_value, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    }

    // Pixel memory of row_bytes x height bytes, or none.
    void fillPixels(THostImage* io_image)
    {
        const uint32_t kind = _in.choose(4);
        const int64_t length = int64_t{io_image->row_bytes} * io_image->height;
        if (kind == 0 || io_image->row_bytes <= 0 || io_image->height <= 0 || length > _budget.image_bytes) {
            return;
        }
        io_image->pixels.assign(static_cast<size_t>(length), _in.u8());
        if (kind == 2) {
            const std::vector<uint8_t> pattern = _in.bytes(_in.u8());
            for (size_t k = 0; !pattern.empty() && k < io_image->pixels.size(); k++) {
                io_image->pixels[k] = pattern[k % pattern.size()];
            }
        } else if (kind == 3) {
            copyMarkerFrame(io_image);
        }
    }

    // A rendered marker, when the image is a packed frame of a size the
    // fuzz scenes render.
    void copyMarkerFrame(THostImage* io_image) const
    {
        for (const TFrameSize& size : frameSizes()) {
            if (size.width == io_image->width && size.height == io_image->height &&
                int64_t{size.width} * size.height <= _budget.frame_pixels && io_image->row_bytes == 4 * size.width) {
                io_image->pixels = markerFrame(size);
                return;
            }
        }
    }

    // Values a script can hold but the plug-in has no use for, and two words
    // that name no value at all.
    TMoaValue otherValue()
    {
        switch (_in.choose(3)) {
        case 0:
            return _values.makeObject();
        case 1: {
            float elements[16];
            for (float& element : elements) {
                element = static_cast<float>(static_cast<int8_t>(_in.u8()));
            }
            return _values.makeMatrix(elements);
        }
        default:
            return TMoaValue{{_in.u32(), _in.u32()}};
        }
    }

    TMoaValue earlierResult()
    {
        if (_produced.empty()) {
            return MOA_VOID_VALUE;
        }
        return _produced[_in.u8() % _produced.size()];
    }

    FuzzXtra& _xtra;
    FuzzInput& _in;
    HostValueStore& _values;
    TBudget _budget;
    std::vector<TMoaValue> _produced;
    // The frame size of the last `new` that may have succeeded.
    TFrameSize _frame = {160, 120};
};

}  // namespace

void fuzzXtra(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    FuzzXtra xtra;
    Session(&xtra, &in, BUDGET).run();
}

// The same steps, with frames and images that stay small.
void fuzzXtraLean(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    FuzzXtra xtra;
    Session(&xtra, &in, LEAN_BUDGET).run();
}

}  // namespace MarkeyeFuzz
