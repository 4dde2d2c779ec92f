// What korvex-cli's commands share: usage errors, option helpers and the
// exit statuses.
#pragma once

#include <CLI/CLI.hpp>

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "analysis/srs.h"

namespace korvex::cli {

constexpr int kExitDone = 0;
constexpr int kExitNotWritten = 1;  // or not read
constexpr int kExitUsage = 2;       // usage or input error
constexpr int kExitCheckFailed = 3;

// Wrong use of an option, found once the arguments are parsed; reported as
// "korvex-cli: OPTION: MESSAGE" with exit status 2.
class UsageError : public std::runtime_error {
  public:
    UsageError(std::string option, const std::string& message)
        : std::runtime_error(option + ": " + message), option_(std::move(option)) {}
    // "OPTION is required".
    static UsageError required(const std::string& option) {
        return UsageError(option, option + " is required", 0);
    }
    // "OPTION " followed by the rest of a sentence.
    static UsageError sentence(const std::string& option, const std::string& rest) {
        return UsageError(option, option + " " + rest, 0);
    }
    const std::string& option() const { return option_; }

  private:
    UsageError(std::string option, const std::string& text, int)
        : std::runtime_error(text), option_(std::move(option)) {}
    std::string option_;
};

// An option whose value is a number, kept as text until validated.
CLI::Option* addNumberOption(CLI::App& app, const std::string& name, std::string& text,
                             const std::string& help);
// An option whose value is text of the form `form` ("N|all", "LOW,HIGH").
CLI::Option* addFormOption(CLI::App& app, const std::string& name, std::string& text,
                           const std::string& form, const std::string& help);
// The option's text as a plain finite decimal, or a UsageError that quotes it.
double numberOption(const std::string& name, const std::string& text);

// An option whose value is one of `names`; a wrong one is quoted.
CLI::Option* addChoiceOption(CLI::App& app, const std::string& name, std::string& value,
                             std::initializer_list<const char*> names, const std::string& help);

// A file to write, or - for standard output.
CLI::Option* addOutputOption(CLI::App& app, const std::string& name, std::string& path,
                             const std::string& help);

// The --srs-* settings, given only with --srs (or `needs`).
struct SrsOptions {
    std::string q, from, to, perOctave;
    void add(CLI::App& app, CLI::Option* needs);
    SrsSettings settings(const CLI::App& app) const;
    // The option a planning failure is about; `record` names the sampling.
    static std::string optionOf(SrsSetting setting, const std::string& record);
};

}  // namespace korvex::cli
