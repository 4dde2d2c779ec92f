// korvex-cli: parse the arguments, validate them, run the command.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/generate_command.h"
#include "cli/usage.h"

int main(int argc, char** argv) {
    using namespace korvex::cli;
    CLI::App app{
        "Writes the time history of one shock pulse as two columns, time (s) and amplitude;\n"
        "reports its figures and its shock response spectrum.",
        "korvex-cli"};
    app.set_version_flag("--version", "korvex " KORVEX_VERSION);
    app.get_formatter()->column_width(30);
    // The last of a repeated option wins, so a script can override a default.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    GenerateArguments generate;
    generate.add(app);

    try {
        app.parse(argc, argv);
        return runGenerate(app, generate);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "korvex-cli: " << e.what() << "\nRun with --help for more information.\n";
    } catch (const UsageError& e) {
        std::cerr << "korvex-cli: " << e.what() << "\nRun with --help for more information.\n";
    }
    return kExitUsage;
}
