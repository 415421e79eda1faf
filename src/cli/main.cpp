#include "cli/Cli.h"
#include "model/Error.h"
#include "model/Text.h"
#include "os/Arguments.h"
#include "version/VersionInfo.h"

#include <algorithm>
#include <iostream>
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

} // namespace

int main(int argc, char** argv) {
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
        return code == 0 ? ExitOk : ExitBadInput;
    }
    try {
        return run ? run() : int{ExitBadInput};
    } catch (const ExitRequest& request) {
        // Messages quote what came from outside (a gateway's answer, a line of a file): nothing in them may
        // drive the terminal.
        if (!request.Message.empty())
            std::cerr << EscapeControlCharacters(request.Message) << '\n';
        return request.Code;
    } catch (const Exception& e) {
        std::cerr << EscapeControlCharacters(e.Message()) << '\n';
        return ExitDeviceFailed;
    }
}
