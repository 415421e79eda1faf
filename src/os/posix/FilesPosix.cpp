// Reading standard input and replacing a file on POSIX: a temporary file beside the target (unnamed until it
// is whole where the file system allows, else under a name of its own), fsync, rename, fsync of the folder;
// mode and owner kept; symbolic links saved through. Two savers of one file never share a temporary file,
// and no file this program did not create is ever removed.
#include "model/Error.h"
#include "os/FileFault.h"
#include "os/posix/PosixIo.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zelo::os {

namespace {

// A system call's result with an injected fault put in front: the step fails with that error instead (the
// call itself has run, as a real failure may come after the system did part of the work).
bool Failed(FileStep step, bool failed, int& error) {
    if (int injected = InjectedFileFault(step)) {
        error = injected;
        return true;
    }
    if (failed)
        error = errno;
    return failed;
}

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path finally names: symbolic links followed, a dangling one to the file it would create.
std::string FollowLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0)
            return path;
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : Folder(path) + "/" + target;
    }
    return path; // a loop of links: the open below reports it
}

bool WriteAll(int fd, std::string_view bytes, int& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC; // a disk that takes nothing more is full
        if (Failed(FileStep::Write, n <= 0, error))
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Syncs and closes; the descriptor is closed in any case.
bool SyncAndClose(int fd, int& error) {
    const bool synced = !Failed(FileStep::Sync, ::fsync(fd) != 0, error);
    const bool closed = !Failed(FileStep::Close, ::close(fd) != 0, error);
    return synced && closed;
}

// The rare case of a folder that takes no new file: the file itself is rewritten, from its start, then cut to
// its new length.
void RewriteInPlace(const std::string& target, std::string_view bytes, const std::string& name) {
    int error = 0;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw Exception("Can't write " + name + ": " + ErrnoText(errno));
    bool ok = WriteAll(fd, bytes, error);
    if (ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::close(fd);
        throw Exception("Can't write " + name + ": " + ErrnoText(error));
    }
    if (!SyncAndClose(fd, error))
        throw Exception("Can't write " + name + ": " + ErrnoText(error));
}

// A name beside the target no other file has yet, as mkstemp makes them: NAME.XXXXXX.
std::string TemporaryName(const std::string& target) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random(std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())
                                                                     << 32);
    std::string name = target + ".";
    for (int i = 0; i < 6; ++i)
        name += letters[random() % (sizeof letters - 1)];
    return name;
}

// Creates a new file of a name of its own beside the target (O_EXCL: never one that exists, never through
// a planted link); its name goes to `name`.
int CreateTemporary(const std::string& target, std::string& name) {
    for (int attempt = 0;; ++attempt) {
        name = TemporaryName(target);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST || attempt == 100)
            return fd;
    }
}

// Gives the unnamed file a name beside the target: a link of its /proc entry, a name no other file has.
bool NameTemporary(int fd, const std::string& target, std::string& name) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(target);
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

} // namespace

std::size_t ReadStandardInputBlock(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(0, buffer, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throw Exception("Can't read standard input: " + ErrnoText(errno));
    }
}

void ReplaceFileContents(const std::string& fileName, std::string_view bytes) {
    auto fail = [&](int error) { return Exception("Can't write " + fileName + ": " + ErrnoText(error)); };
    const std::string target = FollowLinks(fileName);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        throw fail(EISDIR);
    // A rename would replace a file the user may not write: refuse it as a write would be refused.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        throw fail(errno);

    std::string temporary;
    int error = 0;
    // An unnamed file first: it shows under a name only once it is whole. Where the file system has none
    // (or no /proc to name it through), a file of a name of its own.
    bool named = false;
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(Folder(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
        fd = CreateTemporary(target, temporary);
        named = fd >= 0;
    }
    if (Failed(FileStep::Create, fd < 0, error)) {
        if (fd >= 0) {
            ::close(fd);
            if (named)
                ::unlink(temporary.c_str());
        }
        if (exists && (error == EACCES || error == EPERM)) {
            RewriteInPlace(target, bytes, fileName);
            return;
        }
        throw fail(error);
    }
    // Only the file this save created is removed.
    auto discard = [&](int reason) {
        if (named)
            ::unlink(temporary.c_str());
        return fail(reason);
    };
    auto fill = [&] {
        if (exists) {
            // The owner can be set by root only; the group by its members too. What is refused stays the
            // saver's.
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
                [[maybe_unused]] const int groupKept = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
            }
            (void)::fchmod(fd, old.st_mode & 07777);
        }
        if (!WriteAll(fd, bytes, error)) {
            ::close(fd);
            throw discard(error);
        }
    };
    fill();
    if (!named) {
        named = NameTemporary(fd, target, temporary);
        if (!named) {
            // No /proc to name it through: the same again under a name.
            ::close(fd);
            fd = CreateTemporary(target, temporary);
            if (fd < 0)
                throw fail(errno);
            named = true;
            fill();
        }
    }
    if (!SyncAndClose(fd, error))
        throw discard(error);
    // The one step an injected fault must stop before it happens: after it, the old file is gone.
    if (const int injected = InjectedFileFault(FileStep::Rename))
        throw discard(injected);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        throw discard(errno);
    // The rename itself reaches the disk only with its folder.
    const int folder = ::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const bool failed = Failed(FileStep::SyncFolder, ::fsync(folder) != 0, error);
        ::close(folder);
        // Some file systems cannot sync a folder at all; that is no failure of this save.
        if (failed && error != EINVAL && error != ENOTSUP)
            throw fail(error);
    }
}

std::FILE* OpenFileForReading(const std::string& fileName) {
    return std::fopen(fileName.c_str(), "rb");
}

} // namespace zelo::os

namespace zelo::os {

AppendFile::AppendFile(const std::string& fileName) : Name_(fileName) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        throw Exception("Can't write " + fileName + ": " + ErrnoText(errno));
    struct stat st {};
    WasEmpty_ = ::fstat(fd, &st) != 0 || st.st_size == 0;
    Handle_ = fd;
}

AppendFile::~AppendFile() {
    ::close(static_cast<int>(Handle_));
}

void AppendFile::Append(std::string_view bytes) {
    int error = 0;
    if (!WriteAll(static_cast<int>(Handle_), bytes, error))
        throw Exception("Can't write " + Name_ + ": " + ErrnoText(error));
    WasEmpty_ = WasEmpty_ && bytes.empty();
}

} // namespace zelo::os
