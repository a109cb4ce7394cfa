// Reading registry values into the applet's fixed-size fields.
#include "mainframe.h"

namespace applet {

bool ReadStringField(Registry& registry, Handle key, const std::u16string& name,
                     std::u16string* text, std::uint32_t* type) {
    unsigned char bytes[kFieldUnits * 2] = {};
    std::uint32_t size = sizeof bytes;
    std::uint32_t storedType = 0;
    if (!registry.QueryValue(key, name, &storedType, bytes, &size)) return false;
    std::u16string value;
    for (std::size_t i = 0; i < kFieldUnits; ++i) {
        const char16_t unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0) {
            *text = value;
            if (type) *type = storedType;
            return true;
        }
        value.push_back(unit);
    }
    // The value fills the whole field with no terminator: there is no string to take.
    return false;
}

bool ReadDwordValue(Registry& registry, Handle key, const std::u16string& name, std::uint32_t* value) {
    unsigned char bytes[4] = {};
    std::uint32_t size = sizeof bytes;
    std::uint32_t type = 0;
    if (!registry.QueryValue(key, name, &type, bytes, &size)) return false;
    *value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
             static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

}  // namespace applet
