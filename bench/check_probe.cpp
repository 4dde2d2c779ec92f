// Runs the tolerance check on a two-column text record ("time value" per
// line) and prints every figure of the report as "name value", numbers in
// their shortest exact text: for bench/check_numpy.py to compare against,
// with the time taken to read the file (a plain from_chars loop, not the
// program's record reader) and to check it (wall clock, and processor time
// of all threads).
//
// check_probe FILE half-sine|terminal-sawtooth AMPLITUDE DURATION_S [NAME=VALUE ...]
// NAME: band, time-tolerance, window-before, window-after, velocity-tolerance,
// velocity-before, velocity-after, srs-low, srs-high (both or neither),
// interval (the record's sample interval, s), times (0: drop the time column
// and use the first time and the interval instead).
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "analysis/tolerance_check.h"

namespace {

double parse(const std::string& text) {
    double x = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), x);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
        std::fprintf(stderr, "not a number: %s\n", text.c_str());
        std::exit(2);
    }
    return x;
}

void put(const char* name, double x) {
    char buf[32];
    *std::to_chars(buf, buf + sizeof buf - 1, x).ptr = '\0';
    std::printf("%s %s\n", name, buf);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace korvex;
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s FILE SHAPE AMPLITUDE DURATION_S [NAME=VALUE ...]\n",
                     argv[0]);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto readStart = Clock::now();
    std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
    std::string text(static_cast<std::size_t>(std::max<std::streamoff>(0, in.tellg())), '\0');
    in.seekg(0);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    Channel rec;
    const char* p = text.data();
    const char* end = p + text.size();
    for (int column = 0;;) {
        while (p < end && std::strchr(" \t\r\n", *p) != nullptr) ++p;
        if (p == end) break;
        double x = 0;
        const auto res = std::from_chars(p, end, x);
        if (res.ec != std::errc()) {
            std::fprintf(stderr, "%s: not a number at byte %td\n", argv[1], p - text.data());
            return 2;
        }
        (column == 0 ? rec.time : rec.values).push_back(x);
        column ^= 1;
        p = res.ptr;
    }
    const auto readEnd = Clock::now();
    const std::string shape = argv[2];
    const CheckPulse pulse{shape == "half-sine" ? PulseType::HalfSine : PulseType::TerminalSawtooth,
                           parse(argv[3]), parse(argv[4])};
    std::map<std::string, double> opt;
    for (int i = 5; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr) return 2;
        opt[std::string(argv[i], static_cast<std::size_t>(eq - argv[i]))] = parse(eq + 1);
    }
    CheckSettings s;
    const std::pair<const char*, double*> fields[] = {
        {"band", &s.band},
        {"time-tolerance", &s.timeTolerance},
        {"window-before", &s.windowBefore},
        {"window-after", &s.windowAfter},
        {"velocity-tolerance", &s.velocityTolerance},
        {"velocity-before", &s.velocityBefore},
        {"velocity-after", &s.velocityAfter},
    };
    for (const auto& [name, target] : fields) {
        if (opt.count(name)) *target = opt[name];
    }
    if (opt.count("srs-low")) s.spectrum = SpectrumTolerance{opt["srs-low"], opt["srs-high"]};
    rec.intervalS = opt.count("interval") ? opt["interval"] : 0.0;
    rec.startS = rec.time.empty() ? 0.0 : rec.time.front();
    if (opt.count("times") && opt["times"] == 0) rec.time.clear();

    CheckReport r;
    const auto checkStart = Clock::now();
    const std::clock_t cpuStart = std::clock();
    try {
        r = checkRecord(rec.view(), pulse, s);
    } catch (const std::exception& e) {
        std::printf("error %s\n", e.what());
        return 2;
    }
    const auto checkEnd = Clock::now();
    const std::clock_t cpuEnd = std::clock();
    using Ms = std::chrono::duration<double, std::milli>;
    put("read_ms", Ms(readEnd - readStart).count());
    put("check_ms", Ms(checkEnd - checkStart).count());
    put("check_cpu_ms", 1000.0 * static_cast<double>(cpuEnd - cpuStart) / CLOCKS_PER_SEC);
    put("pass", r.pass);
    put("offset_index", static_cast<double>(r.offsetIndex));
    put("offset_s", r.offsetS);
    put("band_pass", r.band.pass);
    put("samples_checked", static_cast<double>(r.band.samplesChecked));
    put("samples_outside", static_cast<double>(r.band.samplesOutside));
    put("worst_index", static_cast<double>(r.band.worstIndex));
    put("worst_time_s", r.band.worstTimeS);
    put("worst_value", r.band.worstValue);
    put("worst_lower", r.band.worstLower);
    put("worst_upper", r.band.worstUpper);
    put("worst_margin", r.band.worstMargin);
    put("velocity_pass", r.velocity.pass);
    put("velocity_measured", r.velocity.measured);
    put("velocity_nominal", r.velocity.nominal);
    put("velocity_ratio", r.velocity.ratio);
    if (r.srs) {
        put("srs_pass", r.srs->pass);
        put("srs_worst_frequency_hz", r.srs->worstFrequencyHz);
        put("srs_worst_db", r.srs->worstDb);
    }
    std::printf("verdict %s\n", checkVerdict(r).c_str());
    return 0;
}
