// A test plan: what a check judges against, saved as JSON so that the same
// test runs again from a file (korvex-cli check --plan, the window's Open).
// Read and written here, without the command line or the window.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/tolerance_check.h"

namespace korvex {

struct TestPlan {
    PulseType shape = PulseType::HalfSine;
    std::optional<double> amplitude;      // signed, in the record's units
    std::optional<double> pulseDuration;  // in `unit`
    TimeUnit unit = TimeUnit::Milliseconds;
    // The tolerances; with settings.spectrum, the spectrum's range and
    // settings.srs its q, frequencies and count per octave.
    CheckSettings settings;
    // Conditioning of the record before the check: kept and written back as
    // it was read (a JSON object), for the conditioning to come.
    std::string conditioning = "{}";
    std::vector<std::string> channels;  // as --column takes them; empty: the default
};

// What is wrong with a plan file: `key` names the place ("nominal.amplitude").
class TestPlanError : public std::invalid_argument {
  public:
    TestPlanError(std::string key, const std::string& message)
        : std::invalid_argument(key.empty() ? message : key + ": " + message),
          key_(std::move(key)) {}
    const std::string& key() const { return key_; }

  private:
    std::string key_;
};

// Every value, each number the shortest text that reads back as the same
// double, so that reading what was written gives the same plan. Throws
// TestPlanError when `conditioning` is not the text of a JSON object.
std::string testPlanJson(const TestPlan& plan);

// A missing key keeps its default; an unknown one is refused (a misspelt
// tolerance must not pass unnoticed). Throws TestPlanError.
TestPlan readTestPlan(std::string_view text);

// The nominal in seconds; nullopt when the plan lacks the amplitude or the
// duration.
std::optional<CheckPulse> planPulse(const TestPlan& plan);

}  // namespace korvex
