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
};

// Bytes held in memory, handed out at most `block` at a time.
class ViewSource : public ByteSource {
public:
    explicit ViewSource(std::string_view bytes, std::size_t block = SIZE_MAX)
        : Bytes_(bytes), Block_(block) {}
    std::size_t Read(char* to, std::size_t size) override {
        const std::size_t n = std::min({size, Block_, Bytes_.size()});
        std::copy_n(Bytes_.data(), n, to);
        Bytes_.remove_prefix(n);
        return n;
    }

private:
    std::string_view Bytes_;
    std::size_t Block_;
};

} // namespace zelo
