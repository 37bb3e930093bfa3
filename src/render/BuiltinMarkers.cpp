#include "BuiltinMarkers.h"

#include "markeye/Pattern.h"

namespace Markeye {

int32_t BuiltinMarkers::count()
{
    return static_cast<int32_t>(markeye::Pattern::builtinNames().size());
}

const char* BuiltinMarkers::name(int32_t i_index)
{
    return markeye::Pattern::builtinNames().at(static_cast<size_t>(i_index)).c_str();
}

MarkerPicture BuiltinMarkers::picture(int32_t i_index)
{
    return MarkerPicture::fromView(markeye::Pattern::builtinPicture(name(i_index)).view());
}

int32_t BuiltinMarkers::find(const char* i_name)
{
    const std::vector<std::string>& names = markeye::Pattern::builtinNames();
    for (size_t i = 0; i < names.size(); i++) {
        if (names[i] == i_name) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

}  // namespace Markeye
