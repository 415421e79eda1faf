#include "cli/Cli.h"
#include "commands/CommandLine.h"
#include "ets/EtsBatch.h"
#include "ets/EtsImport.h"

#include <iostream>
#include <map>
#include <memory>
#include <string>

namespace zelo::cli {

namespace {

struct ImportOptions {
    SetupOptions Setup;
    std::string File;
    std::string Access = "RW";
    std::string Unknown = "skip";
    bool WithSetup = false;
};

std::string Plural(int count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

int RunImport(const ImportOptions& options) {
    static const std::map<std::string, UnknownDatatype> unknownPolicies{
        {"skip", UnknownDatatype::Skip}, {"other", UnknownDatatype::Other}, {"fail", UnknownDatatype::Fail}};
    // The setup line is checked first, so a bad address fails before the file is read.
    std::string setupLine = options.WithSetup ? options.Setup.SetupLine() : std::string();
    BatchImportResult result = BatchImport(LoadImportLines(ReadInput(options.File)),
                                           static_cast<std::uint8_t>(AccessTypeFromText(options.Access)),
                                           unknownPolicies.at(options.Unknown));
    for (const auto& warning : result.Warnings)
        std::cerr << "warning: " << warning << '\n';
    if (result.Failure)
        // Nothing on stdout: a partial list must not reach a download by a pipe.
        throw ExitRequest{ExitBadInput, *result.Failure};
    std::string out;
    if (options.WithSetup)
        out += setupLine + '\n';
    for (const auto& group : result.Groups)
        out += BuildGroupLine(group) + '\n';
    std::cout << out;
    std::cerr << Plural(result.Added, "range") << " added, " << result.Skipped << " skipped, "
              << Plural(result.Duplicates, "duplicate") << " dropped.\n";
    return ExitOk;
}

} // namespace

void AddImport(CLI::App& app, Runner& run) {
    auto* command =
        app.add_subcommand("import", "Print the group lines of every range of an ETS3 CSV export");
    auto options = std::make_shared<ImportOptions>();
    command->add_option("FILE", options->File, "the ETS3 CSV export, or - for standard input")->required();
    command->add_option("--access", options->Access, "access type of every range")
        ->check(CLI::IsMember({"R", "W", "RW"}))
        ->capture_default_str();
    command->add_option("--unknown", options->Unknown, "a range whose datatype offers no type")
        ->check(CLI::IsMember({"skip", "other", "fail"}))
        ->capture_default_str();
    command->add_flag("--setup", options->WithSetup, "print the setup line first");
    options->Setup.AddTo(*command);
    command->footer(
        "A range is a run of lines with the same name and datatype whose addresses rise by one or two.\n"
        "skip leaves an unrecognised range out with a warning, other writes it as GENERIC, fail stops\n"
        "with exit code 2. Warnings and a summary go to stderr.");
    command->callback([&run, options] { run = [options] { return RunImport(*options); }; });
}

} // namespace zelo::cli
