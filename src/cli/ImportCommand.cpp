#include "cli/Cli.h"
#include "commands/CommandLine.h"
#include "ets/EtsBatch.h"
#include "ets/EtsExport.h"
#include "ets/EtsImport.h"
#include "model/Error.h"
#include "os/Files.h"
#include "project/ProjectImport.h"

#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zelo::cli {

namespace {

struct ImportOptions {
    SetupOptions Setup;
    std::string File;
    std::string Access = "RW";
    std::string Unknown = "skip";
    std::string Format = "auto";
    bool SkipBad = false;
    bool WithSetup = false;
    std::optional<std::string> Password;
    std::optional<std::string> PasswordFile;
};

std::string Plural(int count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// Written at once: standard error takes every piece apart, and a big file may give thousands of warnings.
void PrintWarnings(const std::vector<std::string>& warnings) {
    std::string text;
    for (const auto& warning : warnings)
        text.append("warning: ").append(warning) += '\n';
    std::cerr << text;
}

// A file read a block at a time fails as ReadInput does when a block cannot be read.
template <typename Read> auto ReadingBlocks(Read read) {
    try {
        return read();
    } catch (const Exception& e) {
        throw ExitRequest{ExitBadInput, e.Message()};
    }
}

// An ETS3 export, as it has always been imported: ranges in file order, its own warnings and summary.
int RunEts3Import(const ImportOptions& options, ExportReading& reading, const std::string& setupLine) {
    static const std::map<std::string, UnknownDatatype> unknownPolicies{
        {"skip", UnknownDatatype::Skip}, {"other", UnknownDatatype::Other}, {"fail", UnknownDatatype::Fail}};
    const auto access = static_cast<std::uint8_t>(AccessTypeFromText(options.Access));
    const UnknownDatatype unknown = unknownPolicies.at(options.Unknown);
    BatchImportResult result =
        reading.Ets3Stream
            ? ReadingBlocks([&] { return BatchImport(std::move(reading.Ets3Stream), access, unknown); })
            : BatchImport(std::move(reading.Ets3Lines), access, unknown);
    PrintWarnings(result.Warnings);
    if (result.Failure)
        // Nothing on stdout: a partial list must not reach a download by a pipe.
        throw ExitRequest{ExitBadInput, *result.Failure};
    std::string out;
    out.reserve(setupLine.size() + 1 + result.Groups.size() * 40);
    if (options.WithSetup)
        out += setupLine + '\n';
    for (const auto& group : result.Groups)
        out += BuildGroupLine(group) + '\n';
    std::cout << out;
    std::cerr << Plural(result.Added, "range") << " added, " << result.Skipped << " skipped, "
              << Plural(result.Duplicates, "duplicate") << " dropped.\n";
    return ExitOk;
}

int RunImport(const ImportOptions& options) {
    static const std::map<std::string, UntypedPolicy> untypedPolicies{
        {"skip", UntypedPolicy::Skip}, {"other", UntypedPolicy::Other}, {"fail", UntypedPolicy::Fail}};
    static const std::map<std::string, FormatChoice> formats{{"auto", FormatChoice::Auto},
                                                             {"ets3", FormatChoice::Ets3},
                                                             {"csv", FormatChoice::Csv},
                                                             {"xml", FormatChoice::Xml},
                                                             {"esf", FormatChoice::Esf}};
    // The setup line is checked first, so a bad address fails before the file is read.
    std::string setupLine = options.WithSetup ? options.Setup.SetupLine() : std::string();
    RangeOptions rangeOptions;
    rangeOptions.AccessType = static_cast<std::uint8_t>(AccessTypeFromText(options.Access));
    rangeOptions.Untyped = untypedPolicies.at(options.Unknown);
    if (options.PasswordFile && *options.PasswordFile == "-" && options.File == "-")
        throw ExitRequest{ExitBadInput,
                          "The password file and the project file cannot both be standard input."};
    const std::optional<std::string> password =
        options.PasswordFile ? std::optional<std::string>(ReadPasswordFile(*options.PasswordFile))
                             : options.Password;
    const FormatChoice choice = formats.at(options.Format);
    // A file is read a block at a time, so that an export's bytes are never held whole; it lives on while an
    // ETS3 export's lines are taken from it.
    std::unique_ptr<os::FileSource> source;
    ExportReading reading;
    if (options.File == "-") {
        reading = ReadImportFile(options.File, ReadInput(options.File, os::ImportLimit), password, choice);
    } else {
        source = OpenInput(options.File, os::ImportLimit);
        reading = ReadingBlocks([&] { return ReadImportFile(options.File, *source, password, choice); });
    }
    ExportImport result = ImportReading(std::move(reading), rangeOptions, options.SkipBad);
    if (!result.Refusal && result.Reading.Detected.Format == ExportFormat::Ets3)
        return RunEts3Import(options, result.Reading, setupLine);

    PrintWarnings(result.Warnings);
    if (result.Refusal) {
        std::string message = result.Refusal->CommandLineText();
        if (!result.Reading.Refusal && !result.Reading.BadEntries.empty() && !options.SkipBad)
            message += "\nWith --skip-bad the other addresses are imported.";
        throw ExitRequest{ExitBadInput, message};
    }
    std::string out;
    if (options.WithSetup)
        out += setupLine + '\n';
    for (const auto& range : result.Build.Ranges)
        out += BuildGroupLine(ToGroup(range)) + '\n';
    std::cout << out;
    std::cerr << result.Summary << '\n';
    if (result.Build.Ranges.empty() && result.Build.Untyped > 0 &&
        rangeOptions.Untyped == UntypedPolicy::Skip)
        std::cerr << "With --unknown other the addresses without a datapoint type are written as GENERIC.\n";
    return ExitOk;
}

} // namespace

void AddImport(CLI::App& app, Runner& run) {
    auto* command = app.add_subcommand(
        "import", "Print the group lines of every range of an ETS project file or group address export");
    auto options = std::make_shared<ImportOptions>();
    command
        ->add_option(
            "FILE", options->File,
            "the ETS project file (.knxproj) or export (CSV, XML or OPC .esf), or - for standard input")
        ->required();
    command->add_option("--format", options->Format, "the export's format, found from its bytes by default")
        ->check(CLI::IsMember({"auto", "ets3", "csv", "xml", "esf"}))
        ->capture_default_str();
    auto* password = command->add_option("--password", options->Password,
                                         "the project's password, for a protected project file");
    command
        ->add_option("--password-file", options->PasswordFile,
                     "read the project's password from the first line of this file (- for standard input)")
        ->excludes(password);
    command->add_flag("--skip-bad", options->SkipBad,
                      "import the other addresses when lines cannot be read; they become warnings");
    command->add_option("--access", options->Access, "access type of every range")
        ->check(CLI::IsMember({"R", "W", "RW"}))
        ->capture_default_str();
    command->add_option("--unknown", options->Unknown, "an address or range without a datapoint type")
        ->check(CLI::IsMember({"skip", "other", "fail"}))
        ->capture_default_str();
    command->add_flag("--setup", options->WithSetup, "print the setup line first");
    options->Setup.AddTo(*command);
    command->footer(
        "ETS4 to ETS6 project files and exports (CSV of any layout, XML, OPC): the addresses are sorted,\n"
        "and a range is a run of one middle group whose sub groups rise by one with the same type. A "
        "project\n"
        "file's address without a datapoint type takes the type of the objects linked to it. ETS3 exports:\n"
        "a range is a run of lines with the same name and datatype whose addresses rise by one or two.\n"
        "skip leaves an untyped range out with a warning, other writes it as GENERIC, fail stops with exit\n"
        "code 2. A line that cannot be read refuses the file unless --skip-bad is given. Warnings and a\n"
        "summary go to stderr.");
    command->callback([&run, options] { run = [options] { return RunImport(*options); }; });
}

} // namespace zelo::cli
