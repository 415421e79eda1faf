#include "model/Error.h"

namespace zelo {

EListError::EListError(int index) : Exception("List index out of bounds (" + std::to_string(index) + ")") {}

std::string FormatMessage(const std::string& format, const std::string& argument) {
    std::string out;
    out.reserve(format.size() + argument.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            out += argument;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

} // namespace zelo
