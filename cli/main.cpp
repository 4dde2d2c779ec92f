// korvex-cli: parse the arguments, validate them, run the command.
#include <CLI/CLI.hpp>

#include <iostream>
#include <new>

#include "cli/analyse_command.h"
#include "cli/check_command.h"
#include "cli/generate_command.h"
#include "cli/synthesize_command.h"
#include "cli/usage.h"

int main(int argc, char** argv) {
    using namespace korvex::cli;
    CLI::App app{
        "Writes the time history of one shock pulse as two columns, time (s) and amplitude;\n"
        "reports its figures, motion and shock response spectrum. With a command, analyses\n"
        "or checks a measured record, or synthesises a shaker drive for a required spectrum.",
        "korvex-cli"};
    app.set_version_flag("--version", "korvex " KORVEX_VERSION);
    app.get_formatter()->column_width(30);
    // The last of a repeated option wins, so a script can override a default.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.require_subcommand(0, 1);

    GenerateArguments generate;
    generate.add(app);
    AnalyseArguments analyse;
    CLI::App* analyseCommand = app.add_subcommand(
        "analyse", "A measured record's figures, motion and shock response spectrum");
    analyseCommand->alias("analyze");
    analyse.add(*analyseCommand);
    CheckArguments check;
    CLI::App* checkCommand = app.add_subcommand(
        "check", "Whether a measured record meets its nominal pulse: band, velocity, spectrum");
    check.add(*checkCommand);
    SynthesizeArguments synthesize;
    CLI::App* synthesizeCommand = app.add_subcommand(
        "synthesize", "A shaker drive whose shock response spectrum meets a required one");
    synthesizeCommand->alias("synthesise");
    synthesize.add(*synthesizeCommand);
    for (CLI::App* command : {analyseCommand, checkCommand, synthesizeCommand}) {
        command->get_formatter()->column_width(30);
        command->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }

    try {
        app.parse(argc, argv);
        CLI::App* command = analyseCommand->parsed()      ? analyseCommand
                            : checkCommand->parsed()      ? checkCommand
                            : synthesizeCommand->parsed() ? synthesizeCommand
                                                          : nullptr;
        if (command != nullptr) {
            // The pulse's own options mean nothing to a command on a record.
            for (const CLI::Option* option : app.get_options()) {
                if (option->count() > 0 && option->get_name() != "--help") {
                    throw UsageError::sentence(option->get_name(),
                                               "is not an option of " + command->get_name());
                }
            }
        }
        if (command == analyseCommand) return runAnalyse(*analyseCommand, analyse);
        if (command == checkCommand) return runCheck(*checkCommand, check);
        if (command == synthesizeCommand) return runSynthesize(*synthesizeCommand, synthesize);
        return runGenerate(app, generate);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "korvex-cli: " << e.what() << "\nRun with --help for more information.\n";
    } catch (const UsageError& e) {
        std::cerr << "korvex-cli: " << e.what() << "\nRun with --help for more information.\n";
    } catch (const std::bad_alloc&) {
        // Whatever asked for more memory than there is: a clean end, not an abort.
        std::cerr << "korvex-cli: out of memory\n";
        return kExitNotWritten;
    }
    return kExitUsage;
}
