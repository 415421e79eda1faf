// The parts of file handling that are the same on every system.
#include "model/Error.h"
#include "os/FileFault.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace zelo::os {

namespace {

std::function<int(FileStep)>& Injector() {
    static std::function<int(FileStep)> injector;
    return injector;
}

} // namespace

void InjectFileFaults(std::function<int(FileStep)> injector) {
    Injector() = std::move(injector);
}

int InjectedFileFault(FileStep step) {
    const auto& injector = Injector();
    return injector ? injector(step) : 0;
}

std::string ReadWholeFile(const std::string& fileName) {
    auto fail = [&](int error) { return Exception("Can't read " + fileName + ": " + std::strerror(error)); };
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
    if (!file)
        throw fail(errno != 0 ? errno : ENOENT);
    // The size is reserved first, so a big export is never copied while its string grows; a little more,
    // so that single-byte text can be decoded to UTF-8 in place (pages never written cost nothing).
    std::string bytes;
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(fileName, sizeError);
    if (!sizeError && size < bytes.max_size() / 2)
        bytes.reserve(static_cast<std::size_t>(size + size / 16 + 64));
    char block[65536];
    for (;;) {
        errno = 0;
        const std::size_t n = std::fread(block, 1, sizeof block, file.get());
        bytes.append(block, n);
        if (n < sizeof block) {
            // A folder opens on some systems and fails only here; so does a device that reports an error.
            if (std::ferror(file.get()))
                throw fail(errno != 0 ? errno : EIO);
            break;
        }
    }
    return bytes;
}

} // namespace zelo::os
