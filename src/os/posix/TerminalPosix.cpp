#include "os/Terminal.h"

#include <unistd.h>

namespace zelo::os {

bool IsTerminal(StandardStream stream) {
    const int fd = stream == StandardStream::Input ? 0 : stream == StandardStream::Output ? 1 : 2;
    return ::isatty(fd) == 1;
}

} // namespace zelo::os
