#include "cli/Cli.h"
#include "commands/CommandList.h"
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
            const std::vector<RefusedLine> refused = CheckCommandList(lines);
            // The reason may quote the line, and the line may hold anything.
            for (const RefusedLine& line : refused)
                std::cout << "line " << line.Number << ": " << EscapeControlCharacters(line.Reason) << '\n';
            std::cerr << lines.size() << " lines, " << refused.size() << " malformed\n";
            return refused.empty() ? int{ExitOk} : int{ExitBadInput};
        };
    });
}

} // namespace zelo::cli
