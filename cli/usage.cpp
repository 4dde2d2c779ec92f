#include "cli/usage.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "pulse/number_text.h"

namespace korvex::cli {

CLI::Option* addNumberOption(CLI::App& app, const std::string& name, std::string& text,
                             const std::string& help) {
    return app.add_option(name, text, help)->type_name("NUMBER")->option_text("NUMBER");
}

CLI::Option* addFormOption(CLI::App& app, const std::string& name, std::string& text,
                           const std::string& form, const std::string& help) {
    return app.add_option(name, text, help)->type_name(form)->option_text(form);
}

double numberOption(const std::string& name, const std::string& text) {
    const std::optional<double> value = parseStrictNumber(text);
    if (!value) throw UsageError(name, quotedText(text) + " is not a finite decimal number");
    return *value;
}

CLI::Option* addChoiceOption(CLI::App& app, const std::string& name, std::string& value,
                             std::initializer_list<const char*> names, const std::string& help) {
    std::string list, bar;
    for (const char* n : names) {
        list += (list.empty() ? "" : ", ") + std::string(n);
        bar += (bar.empty() ? "" : "|") + std::string(n);
    }
    const std::vector<std::string> allowed(names.begin(), names.end());
    auto check = [allowed, list](std::string& v) -> std::string {
        if (std::find(allowed.begin(), allowed.end(), v) != allowed.end()) return {};
        return quotedText(v) + " is not one of " + list;
    };
    return app.add_option(name, value, help)
        ->type_name(bar)
        ->option_text(bar)
        ->check(CLI::Validator(check, ""));
}

CLI::Option* addOutputOption(CLI::App& app, const std::string& name, std::string& path,
                             const std::string& help) {
    return app.add_option(name, path, help)->type_name("FILE")->option_text("FILE");
}

void SrsOptions::add(CLI::App& app, CLI::Option* needs) {
    const std::pair<const char*, std::string*> numbers[] = {{"--srs-q", &q},
                                                            {"--srs-from", &from},
                                                            {"--srs-to", &to},
                                                            {"--srs-per-octave", &perOctave}};
    const char* help[] = {"Quality factor Q (default 10)",
                          "Lowest natural frequency, Hz (default 10)",
                          "Highest natural frequency, Hz (default a tenth of the sample rate)",
                          "Frequencies per octave, 1 to 48 (default 12)"};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        addNumberOption(app, numbers[i].first, *numbers[i].second, help[i])->needs(needs);
    }
}

SrsSettings SrsOptions::settings(const CLI::App& app) const {
    SrsSettings s;
    if (app.count("--srs-q") > 0) s.q = numberOption("--srs-q", q);
    if (app.count("--srs-from") > 0) s.fromHz = numberOption("--srs-from", from);
    if (app.count("--srs-to") > 0) s.toHz = numberOption("--srs-to", to);
    if (app.count("--srs-per-octave") > 0) {
        s.perOctave = numberOption("--srs-per-octave", perOctave);
    }
    return s;
}

std::string SrsOptions::optionOf(SrsSetting setting, const std::string& record) {
    switch (setting) {
        case SrsSetting::Q:
            return "--srs-q";
        case SrsSetting::From:
            return "--srs-from";
        case SrsSetting::To:
            return "--srs-to";
        case SrsSetting::PerOctave:
            return "--srs-per-octave";
        case SrsSetting::Count:
            return "--srs-from, --srs-to, --srs-per-octave";
        case SrsSetting::Interval:
            return record;
    }
    return "--srs";
}

}  // namespace korvex::cli
