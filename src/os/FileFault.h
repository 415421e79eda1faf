#pragma once
// Inside the OS layer: asks the injector of InjectFileFaults about one step, and what each system does for
// the shared file functions.
#include "os/Files.h"

#include <cstdio>
#include <filesystem>

namespace zelo::os {

// The error number to fail the step with, or 0.
int InjectedFileFault(FileStep step);

// The file opened for binary reading with the system's own call for the UTF-8 name (the wide one on
// Windows); null with errno set when it does not open.
std::FILE* OpenFileForReading(const std::string& fileName);

// A UTF-8 name as a path: built from UTF-8 explicitly, since a path from a plain string is read in the ANSI
// code page on Windows.
inline std::filesystem::path PathOf(const std::string& fileName) {
    return std::filesystem::path(std::u8string(fileName.begin(), fileName.end()));
}

} // namespace zelo::os
