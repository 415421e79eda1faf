// The gateway's answers as any bytes, through a real pseudo-terminal: the driver splits the stream into
// answers at CR or after 100 bytes, judges "Ok" up to a NUL byte, and keeps the rest as UTF-8 text of at most
// 99 bytes. Each input gets a terminal of its own, so nothing is carried from one input to the next, and the
// driver's time limit is far beyond any wait, so the outcome never depends on how busy the machine is.
#include "device/EibConverter.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

// What a failing check saw, so that a finding under load can be told from the machine's own trouble.
struct Seen {
    const std::string* Line = nullptr;     // the stream written to the terminal
    const std::string* Expected = nullptr; // the answer the converter must give
    const zelo::TEibConverter* Converter = nullptr;
    int Good = -1;
};
Seen seen;

std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        char hex[8];
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

void Check(bool condition, const char* what) {
    if (condition)
        return;
    const int error = errno;
    std::fprintf(stderr, "answer: check failed: %s (errno %d: %s)\n", what, error, std::strerror(error));
    if (seen.Line)
        std::fprintf(stderr, "  stream:   \"%s\"\n", Printable(*seen.Line).c_str());
    if (seen.Expected)
        std::fprintf(stderr, "  expected: \"%s\"\n", Printable(*seen.Expected).c_str());
    if (seen.Converter) {
        std::fprintf(stderr, "  result:   %d, answer buffer \"%s\"\n", seen.Good,
                     Printable(seen.Converter->AnswerBuffer.data()).c_str());
        std::fprintf(stderr, "  LastError: \"%s\"\n", Printable(seen.Converter->LastError).c_str());
        std::fprintf(stderr, "  lost:     \"%s\"\n", Printable(seen.Converter->LostReason()).c_str());
    }
    std::abort();
}

struct Link {
    int master = -1;
    int slave = -1;
    std::unique_ptr<zelo::TEibConverter> converter;

    Link() {
        // A machine under load may run out of terminals for a moment, or another program may hold the new
        // one's lock (a stale name of a terminal since reused): that is the machine's trouble, not a finding,
        // so the terminal is made again a few times before the target gives up.
        for (int attempt = 0;; ++attempt) {
            char name[256] = {};
            if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
                termios t{};
                ::tcgetattr(slave, &t);
                ::cfmakeraw(&t);
                ::tcsetattr(slave, TCSANOW, &t);
                converter = std::make_unique<zelo::TEibConverter>(nullptr, nullptr);
                converter->SetDevice(name);
                if (converter->Open())
                    break;
                std::fprintf(stderr, "answer: %s does not open (%s); another terminal\n", name,
                             converter->LastOsError().c_str());
                converter.reset();
                ::close(master);
                ::close(slave);
            } else {
                std::fprintf(stderr, "answer: openpty: %s; again\n", std::strerror(errno));
            }
            Check(attempt < 50, "a terminal that opens, in 50 attempts");
            ::usleep(20000);
        }
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
    seen = Seen{};
    Link link;
    // Ends with a CR, so that no read waits for its deadline; bounded so that it fits the terminal's queue.
    std::string stream(reinterpret_cast<const char*>(data), size < 2000 ? size : 2000);
    stream += '\r';
    seen.Line = &stream;
    seen.Converter = link.converter.get();
    Check(::write(link.master, stream.data(), stream.size()) == static_cast<ssize_t>(stream.size()),
          "the stream fits the terminal's queue");
    std::size_t at = 0;
    while (at < stream.size()) {
        // What the answer must be: up to and including the first CR, at most 100 bytes.
        std::size_t cr = stream.find('\r', at);
        std::size_t length = cr - at + 1 < 100 ? cr - at + 1 : 100;
        std::string answer = stream.substr(at, length - 1);
        answer = answer.substr(0, answer.find('\0'));
        at += length;

        seen.Expected = &answer;
        const bool good = link.converter->ReadAnswer();
        seen.Good = good;
        const std::string& error = link.converter->LastError;
        Check(good == (answer == "Ok"), "\"Ok\" and only \"Ok\" is good");
        // Escaped: a control byte takes 4 characters (\xHH), a C1 one 6 (\u00HH).
        Check(good ? error.empty() : error.size() <= 6 * answer.size() && error.size() >= answer.size(),
              "the error holds the answer, escaped");
        Check(error.find_first_of(std::string("\0\n\t\r\x1b", 5)) == std::string::npos,
              "no control character in the error");
        Check(IsValidUtf8Text(error), "the error is UTF-8");
        Check(std::strlen(link.converter->AnswerBuffer.data()) == answer.size(),
              "the answer buffer holds the answer");
    }
    return 0;
}
