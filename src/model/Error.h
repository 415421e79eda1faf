#pragma once
// The system's one general error class: every failure is raised as an Exception carrying its message text.
#include <stdexcept>
#include <string>

namespace zelo {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Raised by the pointer list for an index outside 0 .. Count - 1.
class EListError : public Exception {
public:
    explicit EListError(int index);
};

// printf-style "%s" substitution for the system's message formats: every "%s" takes the same argument.
std::string FormatMessage(const std::string& format, const std::string& argument);

} // namespace zelo
