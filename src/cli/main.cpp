#include "cli/Cli.h"
#include "model/Error.h"
#include "model/Text.h"
#include "os/Arguments.h"
#include "version/VersionInfo.h"

#include <iostream>
#include <string>
#include <vector>

using namespace zelo;
using namespace zelo::cli;

int main(int argc, char** argv) {
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
