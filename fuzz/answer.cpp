// The gateway's answers as any bytes, through a real pseudo-terminal: the driver splits the stream into
// answers at CR or after 100 bytes, judges "Ok" up to a NUL byte, and keeps the rest as UTF-8 text of at most
// 99 bytes. Each input gets a terminal of its own, so nothing is carried from one input to the next, and the
// driver's time limit is far beyond any wait, so the outcome never depends on how busy the machine is.
#include "device/EibConverter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

struct Link {
    int master = -1;
    int slave = -1;
    std::unique_ptr<zelo::TEibConverter> converter;

    Link() {
        char name[256] = {};
        Check(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        converter = std::make_unique<zelo::TEibConverter>(nullptr, nullptr);
        converter->SetDevice(name);
        Check(converter->Open());
        converter->Timeout = 600000;
    }
    ~Link() {
        converter.reset();
        ::close(master);
        ::close(slave);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
};

bool IsValidUtf8Text(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < s.size() &&
                   (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Link link;
    // Ends with a CR, so that no read waits for its deadline; bounded so that it fits the terminal's queue.
    std::string stream(reinterpret_cast<const char*>(data), size < 2000 ? size : 2000);
    stream += '\r';
    Check(::write(link.master, stream.data(), stream.size()) == static_cast<ssize_t>(stream.size()));
    std::size_t at = 0;
    while (at < stream.size()) {
        // What the answer must be: up to and including the first CR, at most 100 bytes.
        std::size_t cr = stream.find('\r', at);
        std::size_t length = cr - at + 1 < 100 ? cr - at + 1 : 100;
        std::string answer = stream.substr(at, length - 1);
        answer = answer.substr(0, answer.find('\0'));
        at += length;

        const bool good = link.converter->ReadAnswer();
        const std::string& error = link.converter->LastError;
        Check(good == (answer == "Ok"));
        Check(good ? error.empty() : error.size() <= 2 * answer.size() && error.size() >= answer.size());
        Check(error.find('\0') == std::string::npos);
        Check(IsValidUtf8Text(error));
        Check(std::strlen(link.converter->AnswerBuffer.data()) == answer.size());
    }
    return 0;
}
