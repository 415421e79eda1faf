#pragma once
// Reading input files whole or in blocks, and replacing a file's contents so that a crash or a full disk
// never leaves it half-written. Every name here is UTF-8, whatever the system's own code page.
#include "model/ByteSource.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zelo::os {

// The most an input of each kind is read to: endless ones (/dev/zero, a FIFO) must not take all memory.
inline constexpr std::uint64_t CommandListLimit = std::uint64_t(64) << 20;
inline constexpr std::uint64_t ImportLimit = std::uint64_t(1) << 30;
inline constexpr std::uint64_t NoLimit = UINT64_MAX;

// Whether anything (a file, a folder, a device) is there under the name. A name that cannot be looked at
// (no permission on a folder above it, say) counts as there, so it is read and the reason reported.
bool FileExists(const std::string& fileName);

// Removes the file when it is there; a failure is not reported (for files that have served their purpose).
void RemoveFile(const std::string& fileName);

// Creates the folders above the file that do not exist yet; a failure shows when the file is written.
void CreateFoldersAbove(const std::string& fileName);

// The whole file, byte for byte. Every failure raises Exception "Can't read NAME: REASON" (a missing file, a
// folder, no permission, a read error): a file that cannot be read is never taken for an empty one. A file
// longer than `limit` is refused: "Can't read NAME: it is larger than 64 MB, the most this program reads
// here."
std::string ReadWholeFile(const std::string& fileName, std::uint64_t limit = NoLimit);

// A file read a block at a time, so that a big one is never held whole. Opening and reading fail as
// ReadWholeFile does, a file longer than `limit` too (when its size shows at opening, before any byte is
// read).
class FileSource : public ByteSource {
public:
    FileSource(const std::string& fileName, std::uint64_t limit);
    std::size_t Read(char* to, std::size_t size) override;
    std::uint64_t SizeHint() const override { return Size_; }
    bool Rewind() override;

private:
    std::string Name_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> File_;
    std::uint64_t Limit_;
    std::uint64_t Size_ = 0;
    std::uint64_t Read_ = 0;
};

// Up to `size` bytes from the file's start (all of a shorter file); failures raise as ReadWholeFile's do.
std::string ReadFileStart(const std::string& fileName, std::size_t size);

// Standard input to its end, byte for byte (no text-mode translation on any system), refused as a file is
// when longer than `limit`. A read error raises Exception "Can't read standard input: REASON".
std::string ReadStandardInputUpTo(std::uint64_t limit);

// Up to `size` bytes of standard input into `buffer`; 0 at its end. Raises Exception "Can't read standard
// input: REASON".
std::size_t ReadStandardInputBlock(char* buffer, std::size_t size);

// Replaces the file's contents with bytes: written to a temporary file beside the target, flushed to the
// disk, then renamed over the target, and the folder flushed too. A symbolic link is saved through to its
// target; the target's mode and owner stay (the owner where the saver may set it). A target the user may not
// write is refused. Only when the folder cannot take a temporary file but the file itself is writable is the
// file rewritten in place (which is not atomic). Any failure keeps the old file (except in place) and raises
// Exception "Can't write NAME: REASON".
void ReplaceFileContents(const std::string& fileName, std::string_view bytes);

// The steps of ReplaceFileContents that a real disk seldom lets fail, and ReadWholeFile's opening.
enum class FileStep { Create, Write, Sync, Close, Rename, SyncFolder, Read };

// For tests: the injector is asked before each step and returns a system error number to make that step fail
// with it, or 0 to let it run. An empty function (the default) injects nothing.
void InjectFileFaults(std::function<int(FileStep)> injector);

// A file that records are added to at its end, each handed to the system at once (no buffer of the
// program's own), so that what was written survives a crash of the program. Opening creates the file or goes
// on after what it holds. Failures raise Exception "Can't write NAME: REASON".
class AppendFile {
public:
    explicit AppendFile(const std::string& fileName);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // The file held nothing when it was opened (a log's heading is written then).
    bool WasEmpty() const { return WasEmpty_; }
    void Append(std::string_view bytes);

private:
    std::string Name_;
    std::intptr_t Handle_ = -1;
    bool WasEmpty_ = true;
};

} // namespace zelo::os
