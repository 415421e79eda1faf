#include "cli/Cli.h"
#include "model/Error.h"
#include "model/Text.h"
#include "os/Arguments.h"
#include "version/VersionInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

using namespace zelo;
using namespace zelo::cli;

namespace {

// Edits (insert, delete, replace) between two words.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "zeloctl help [COMMAND]" is "zeloctl [COMMAND] --help"; a first word that names no command is refused at
// once, with the nearest name, rather than taken for an argument nobody expected. Returns the exit code of
// such a refusal, or nothing to go on.
std::optional<int> RewriteCommandWord(const CLI::App& app, std::vector<std::string>& arguments) {
    if (arguments.size() < 2 || arguments[1].empty() || arguments[1].front() == '-')
        return std::nullopt;
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(command->get_name());
    const auto known = [&names](const std::string& word) {
        return std::find(names.begin(), names.end(), word) != names.end();
    };
    std::string word = arguments[1];
    if (word == "help") {
        if (arguments.size() == 2 || known(arguments[2])) {
            std::vector<std::string> help = {arguments[0]};
            if (arguments.size() > 2)
                help.push_back(arguments[2]);
            help.emplace_back("--help");
            arguments = help;
            return std::nullopt;
        }
        word = arguments[2];
    } else if (known(word)) {
        return std::nullopt;
    }
    std::string message = "zeloctl: unknown command '" + EscapeControlCharacters(word) + "'";
    const auto nearest = std::min_element(names.begin(), names.end(), [&word](const auto& x, const auto& y) {
        return EditDistance(word, x) < EditDistance(word, y);
    });
    if (nearest != names.end() && EditDistance(word, *nearest) <= 2)
        message += "; did you mean '" + *nearest + "'?";
    std::cerr << message << "\nRun with --help for more information.\n";
    return int{ExitBadInput};
}

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

// Never destroyed: the library flushes std::cout at exit, after every object of this file is gone.
CheckedOutput& Output = *new CheckedOutput;

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
    app.set_version_flag("-V,--version", VersionText(VersionInfo));
    app.footer("zeloctl help [COMMAND] shows this text or a command's.");
    app.require_subcommand(1);
    // Usage errors name the program, as other tools' do; the rest of CLI11's text stays as it is.
    app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
        return "zeloctl: " + CLI::FailureMessage::simple(failed, e);
    });
    Runner run;
    AddBuild(app, run);
    AddCheck(app, run);
    AddImport(app, run);
    AddDownload(app, run);
    AddPorts(app, run);
    AddMonitor(app, run);
    // In UTF-8 on every system, so that a project password in any script reaches the import intact.
    std::vector<std::string> arguments = os::Utf8Arguments(argc, argv);
    if (const std::optional<int> refused = RewriteCommandWord(app, arguments))
        return *refused;
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
