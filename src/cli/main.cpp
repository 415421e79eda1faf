#include "cli/Cli.h"
#include "model/Error.h"
#include "model/Text.h"
#include "os/Arguments.h"
#include "version/VersionInfo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

using namespace zelo;
using namespace zelo::cli;

namespace {

// Standard output in blocks through stdio, keeping the reason of the first write that fails: the stream
// itself only remembers that one did.
class CheckedOutput : public std::streambuf {
public:
    int Error() const { return Error_; }
    // Writes what is buffered and flushes stdio; false once any write has failed.
    bool Flush() {
        if (!Error_ && !Buffer_.empty() &&
            std::fwrite(Buffer_.data(), 1, Buffer_.size(), stdout) != Buffer_.size())
            Error_ = errno != 0 ? errno : EIO;
        Buffer_.clear();
        if (!Error_ && std::fflush(stdout) != 0)
            Error_ = errno != 0 ? errno : EIO;
        return Error_ == 0;
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* text, std::streamsize size) override {
        Buffer_.append(text, static_cast<std::size_t>(size));
        if (Buffer_.size() >= 65536)
            Flush();
        return Error_ ? 0 : size;
    }
    int sync() override { return Flush() ? 0 : -1; }

private:
    std::string Buffer_;
    int Error_ = 0;
};

CheckedOutput Output;

// Standard output flushed and closed: a full disk or a closed pipe shows only here, and a cut list must not
// end as a success. Returns the exit code.
int FinishOutput(int code) {
    bool written = Output.Flush();
    int error = Output.Error();
    if (written && std::fclose(stdout) != 0) {
        written = false;
        error = errno != 0 ? errno : EIO;
    }
    if (written)
        return code;
    std::cerr << "Can't write the output: " << std::strerror(error) << '\n';
    return code == ExitOk ? int{ExitOutputFailed} : code;
}

} // namespace

int main(int argc, char** argv) {
    std::cout.rdbuf(&Output);
    try {
        ReadVersionInfo();
    } catch (const Exception& e) {
        std::cerr << e.Message() << '\n';
    }
    CLI::App app{
        "zeloctl: build, check, import and download command lists of the ZELO KNX/EIB-to-ASCII gateway"};
    app.set_version_flag("--version", VersionText(VersionInfo));
    app.require_subcommand(1);
    Runner run;
    AddBuild(app, run);
    AddCheck(app, run);
    AddImport(app, run);
    AddDownload(app, run);
    AddPorts(app, run);
    // In UTF-8 on every system, so that a project password in any script reaches the import intact.
    std::vector<std::string> arguments = os::Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (auto& argument : arguments)
        pointers.push_back(argument.data());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return FinishOutput(code == 0 ? ExitOk : ExitBadInput);
    }
    int code = ExitOk;
    try {
        code = run ? run() : int{ExitBadInput};
    } catch (const ExitRequest& request) {
        // Messages quote what came from outside (a gateway's answer, a line of a file): nothing in them may
        // drive the terminal.
        if (!request.Message.empty())
            std::cerr << EscapeControlCharacters(request.Message) << '\n';
        code = request.Code;
    } catch (const Exception& e) {
        std::cerr << EscapeControlCharacters(e.Message()) << '\n';
        code = ExitDeviceFailed;
    } catch (const std::bad_alloc&) {
        // Input too big for the memory there is: said as such, not as an abort.
        std::cerr << "Out of memory while reading "
                  << EscapeControlCharacters(InputName().empty() ? "the input" : InputName()) << '\n';
        code = ExitBadInput;
    }
    return FinishOutput(code);
}
