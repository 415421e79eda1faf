#pragma once
// Bytes that arrive in blocks (an inflating archive entry, say), so that a reader never needs them whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zelo {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes into `to`; 0 only at the end. May raise the source's own errors.
    virtual std::size_t Read(char* to, std::size_t size) = 0;
    // How many bytes there are, when known ahead (a file's size), else 0: for reserving room.
    virtual std::uint64_t SizeHint() const { return 0; }
    // Starts again at the first byte; false for a source that can be read only once.
    virtual bool Rewind() { return false; }
};

// Reads until `size` bytes are in or the source ends: fewer only at the end.
inline std::size_t ReadFully(ByteSource& source, char* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = source.Read(to + got, size - got);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// Bytes held in memory, handed out at most `block` at a time.
class ViewSource : public ByteSource {
public:
    explicit ViewSource(std::string_view bytes, std::size_t block = SIZE_MAX)
        : All_(bytes), Bytes_(bytes), Block_(block) {}
    std::size_t Read(char* to, std::size_t size) override {
        const std::size_t n = std::min({size, Block_, Bytes_.size()});
        std::copy_n(Bytes_.data(), n, to);
        Bytes_.remove_prefix(n);
        return n;
    }
    std::uint64_t SizeHint() const override { return All_.size(); }
    bool Rewind() override {
        Bytes_ = All_;
        return true;
    }

private:
    std::string_view All_;
    std::string_view Bytes_;
    std::size_t Block_;
};

} // namespace zelo
