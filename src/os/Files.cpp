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

std::string TooLong(const std::string& name, std::uint64_t limit) {
    const bool gib = limit >= (std::uint64_t(1) << 30) && limit % (std::uint64_t(1) << 30) == 0;
    const std::string size = gib ? std::to_string(limit >> 30) + " GiB" : std::to_string(limit >> 20) + " MB";
    return "Can't read " + name + ": it is larger than " + size + ", the most this program reads here.";
}

} // namespace

void InjectFileFaults(std::function<int(FileStep)> injector) {
    Injector() = std::move(injector);
}

int InjectedFileFault(FileStep step) {
    const auto& injector = Injector();
    return injector ? injector(step) : 0;
}

bool FileExists(const std::string& fileName) {
    std::error_code error;
    const bool exists = std::filesystem::exists(PathOf(fileName), error);
    return exists || error;
}

void RemoveFile(const std::string& fileName) {
    std::error_code error;
    std::filesystem::remove(PathOf(fileName), error);
}

void CreateFoldersAbove(const std::string& fileName) {
    const std::filesystem::path target = PathOf(fileName);
    std::error_code error;
    if (target.has_parent_path() && !std::filesystem::exists(target.parent_path(), error))
        std::filesystem::create_directories(target.parent_path(), error);
}

std::string ReadStandardInputUpTo(std::uint64_t limit) {
    std::string bytes;
    char block[65536];
    while (const std::size_t n = ReadStandardInputBlock(block, sizeof block)) {
        if (n > limit - bytes.size())
            throw Exception(TooLong("standard input", limit));
        bytes.append(block, n);
    }
    return bytes;
}

namespace {

Exception ReadFailure(const std::string& fileName, int error) {
    return Exception("Can't read " + fileName + ": " + std::strerror(error));
}

std::unique_ptr<std::FILE, int (*)(std::FILE*)> OpenForReading(const std::string& fileName) {
    if (const int injected = InjectedFileFault(FileStep::Read))
        throw ReadFailure(fileName, injected);
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFileForReading(fileName), &std::fclose);
    if (!file)
        throw ReadFailure(fileName, errno != 0 ? errno : ENOENT);
    return file;
}

} // namespace

FileSource::FileSource(const std::string& fileName, std::uint64_t limit)
    : Name_(fileName), File_(OpenForReading(fileName)), Limit_(limit) {
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(PathOf(fileName), sizeError);
    if (!sizeError && size > limit)
        throw Exception(TooLong(fileName, limit));
    if (!sizeError)
        Size_ = size;
    // The blocks are asked for whole: the stream's own buffer would only copy them once more.
    std::setvbuf(File_.get(), nullptr, _IONBF, 0);
}

std::size_t FileSource::Read(char* to, std::size_t size) {
    errno = 0;
    const std::size_t n = std::fread(to, 1, size, File_.get());
    // A folder opens on some systems and fails only here; so does a device that reports an error.
    if (n < size && std::ferror(File_.get()))
        throw ReadFailure(Name_, errno != 0 ? errno : EIO);
    // A device or a FIFO has no size to go by: it is refused once it passes the limit.
    if (n > Limit_ - Read_)
        throw Exception(TooLong(Name_, Limit_));
    Read_ += n;
    return n;
}

bool FileSource::Rewind() {
    if (std::fseek(File_.get(), 0, SEEK_SET) != 0)
        return false;
    std::clearerr(File_.get());
    Read_ = 0;
    return true;
}

std::string ReadFileStart(const std::string& fileName, std::size_t size) {
    const auto file = OpenForReading(fileName);
    std::string bytes(size, '\0');
    errno = 0;
    const std::size_t n = std::fread(bytes.data(), 1, size, file.get());
    if (n < size && std::ferror(file.get()))
        throw ReadFailure(fileName, errno != 0 ? errno : EIO);
    bytes.resize(n);
    return bytes;
}

std::string ReadWholeFile(const std::string& fileName, std::uint64_t limit) {
    auto fail = [&](int error) { return ReadFailure(fileName, error); };
    const auto file = OpenForReading(fileName);
    // The size is reserved first, so a big export is never copied while its string grows; a little more,
    // so that single-byte text can be decoded to UTF-8 in place (pages never written cost nothing).
    std::string bytes;
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(PathOf(fileName), sizeError);
    if (!sizeError && size > limit)
        throw Exception(TooLong(fileName, limit));
    if (!sizeError && size < bytes.max_size() / 2)
        bytes.reserve(static_cast<std::size_t>(size + size / 16 + 64));
    char block[65536];
    for (;;) {
        errno = 0;
        const std::size_t n = std::fread(block, 1, sizeof block, file.get());
        // A device or a FIFO has no size to go by: it is refused once it passes the limit.
        if (n > limit - bytes.size())
            throw Exception(TooLong(fileName, limit));
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
