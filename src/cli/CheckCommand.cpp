#include "cli/Cli.h"
#include "commands/CommandLine.h"
#include "model/Text.h"

#include <iostream>
#include <memory>

namespace zelo::cli {

void AddCheck(CLI::App& app, Runner& run) {
    auto* command =
        app.add_subcommand("check", "Report every line of a command list that the gateway will refuse");
    auto file = std::make_shared<std::string>();
    command->add_option("FILE", *file, "the command list, one command per line; - for standard input")
        ->required();
    command->callback([&run, file] {
        run = [file] {
            const std::vector<std::string> lines = ReadCommandList(*file);
            int bad = 0;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                ParsedLine parsed = ParseCommandLine(lines[i]);
                if (parsed.Kind == LineKind::Invalid) {
                    // The reason may quote the line, and the line may hold anything.
                    std::cout << "line " << i + 1 << ": " << EscapeControlCharacters(parsed.Reason) << '\n';
                    ++bad;
                }
            }
            std::cerr << lines.size() << " lines, " << bad << " malformed\n";
            return bad == 0 ? int{ExitOk} : int{ExitBadInput};
        };
    });
}

} // namespace zelo::cli
