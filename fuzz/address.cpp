// The address readers take any text: they either raise their message or return a value that prints back to an
// equivalent text.
#include "model/Address.h"
#include "model/Error.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        std::uint16_t g = zelo::TextToGroupAddress(text);
        if (g > 32767 || zelo::TextToGroupAddress(zelo::GroupAddressToText(g)) != g)
            std::abort();
    } catch (const zelo::Exception& e) {
        if (e.Message() != zelo::InvalidGroupAddressMessage)
            std::abort();
    }
    try {
        std::uint16_t p = zelo::TextToPhysicalAddress(text);
        if (zelo::TextToPhysicalAddress(zelo::PhysicalAddressToText(p)) != p)
            std::abort();
    } catch (const zelo::Exception& e) {
        if (e.Message() != zelo::InvalidPhysicalAddressMessage)
            std::abort();
    }
    return 0;
}
