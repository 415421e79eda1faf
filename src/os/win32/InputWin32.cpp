// Standard input on Windows, block by block.
#include "model/Error.h"
#include "os/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace zelo::os {

std::size_t ReadStandardInputBlock(char* buffer, std::size_t size) {
    // Text mode would turn CR LF into LF and stop at a Ctrl+Z byte: the list must arrive byte for byte.
    static const bool binary = ::_setmode(::_fileno(stdin), _O_BINARY) != -1;
    (void)binary;
    const std::size_t n = std::fread(buffer, 1, size, stdin);
    if (n == 0 && std::ferror(stdin))
        throw Exception(std::string("Can't read standard input: ") + std::strerror(errno));
    return n;
}

} // namespace zelo::os
