#include "analysis/synthesis/srs_target.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pulse/number_text.h"

namespace korvex {
namespace {

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// One number of a breakpoint, positive and finite; `what` names it.
double positiveNumber(std::string_view text, const char* what, const std::string& where) {
    const std::optional<double> value = parseStrictNumber(trimmed(text));
    if (!value) {
        throw TargetError(where, std::string("the ") + what + ", " + quotedText(trimmed(text)) +
                                     ", is not a finite decimal number");
    }
    if (!(*value > 0.0)) {
        throw TargetError(
            where, std::string("the ") + what + " must be above 0, got " + humanText(*value));
    }
    return *value;
}

// Appends a breakpoint after checking that frequencies rise.
void addPoint(SpectrumTarget& target, TargetBreakpoint point, const std::string& where) {
    if (!target.points.empty() && !(point.frequencyHz > target.highestHz())) {
        throw TargetError(where, "the frequencies must rise: " + humanText(point.frequencyHz) +
                                     " Hz follows " + humanText(target.highestHz()) + " Hz");
    }
    target.points.push_back(point);
}

double dB(double ratio) {
    return 20.0 * std::log10(ratio);
}

}  // namespace

double SpectrumTarget::levelAt(double f) const {
    const auto above =
        std::upper_bound(points.begin(), points.end(), f,
                         [](double x, const TargetBreakpoint& p) { return x < p.frequencyHz; });
    if (above == points.begin()) return points.front().level;
    if (above == points.end()) return points.back().level;
    const TargetBreakpoint& a = *(above - 1);
    const TargetBreakpoint& b = *above;
    const double slope = std::log(b.level / a.level) / std::log(b.frequencyHz / a.frequencyHz);
    return a.level * std::exp(slope * std::log(f / a.frequencyHz));
}

SpectrumTarget parseTargetTable(std::string_view text, const std::string& source) {
    SpectrumTarget target;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        const std::string where = source + ":" + std::to_string(lineNumber);
        const auto separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; };
        const auto cut = std::find_if(line.begin(), line.end(), separator);
        if (cut == line.end()) {
            throw TargetError(where,
                              "a frequency and a level are needed, found " + quotedText(line));
        }
        const std::string_view first(line.begin(), cut);
        std::string_view rest(cut, line.end());
        // One separator, with blanks on either side of it.
        rest = trimmed(rest);
        if (!rest.empty() && (rest.front() == ',' || rest.front() == ';')) rest.remove_prefix(1);
        const TargetBreakpoint point{positiveNumber(first, "frequency", where),
                                     positiveNumber(rest, "level", where)};
        addPoint(target, point, where);
    }
    if (target.points.empty()) {
        throw TargetError(source, "no breakpoints: a line needs a frequency in Hz and a level");
    }
    return target;
}

SpectrumTarget parseTargetList(std::string_view text) {
    SpectrumTarget target;
    int index = 0;
    while (true) {
        const std::size_t end = std::min(text.find(','), text.size());
        const std::string_view item = trimmed(text.substr(0, end));
        ++index;
        const std::string where = "point " + std::to_string(index);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) {
            throw TargetError(
                "", where + ", " + quotedText(item) + ", is not FREQUENCY:LEVEL (as in 1000:50)");
        }
        try {
            addPoint(target,
                     {positiveNumber(item.substr(0, colon), "frequency", where),
                      positiveNumber(item.substr(colon + 1), "level", where)},
                     where);
        } catch (const TargetError& e) {
            throw TargetError("", e.what());
        }
        if (end == text.size()) break;
        text.remove_prefix(end + 1);
    }
    return target;
}

DbTolerance parseTolerance(std::string_view text) {
    const std::size_t comma = text.find(',');
    const auto number = [](std::string_view part, const char* what) {
        const std::optional<double> value = parseStrictNumber(trimmed(part));
        if (!value) {
            throw TargetError("", std::string(what) + ", " + quotedText(trimmed(part)) +
                                      ", is not a finite decimal number of dB");
        }
        return *value;
    };
    if (comma == std::string_view::npos) {
        throw TargetError("", "LOW,HIGH in dB is needed (as in 1.5,3), got " + quotedText(text));
    }
    DbTolerance t{std::fabs(number(text.substr(0, comma), "LOW")),
                  number(text.substr(comma + 1), "HIGH")};
    if (!(t.highDb >= 0.0)) {
        throw TargetError("", "HIGH must be 0 dB or more, got " + humanText(t.highDb));
    }
    return t;
}

SrsPlan planTargetSpectrum(const SpectrumTarget& target, double q, int perOctave,
                           double intervalS) {
    const double nyquist = 0.5 / intervalS;
    if (!(target.highestHz() < nyquist)) {
        throw TargetError("", "the target's highest frequency, " + humanText(target.highestHz()) +
                                  " Hz, is not below half the sample rate, " + humanText(nyquist) +
                                  " Hz");
    }
    SrsSettings settings;
    settings.q = q;
    settings.fromHz = target.lowestHz();
    settings.toHz = target.highestHz();
    settings.perOctave = perOctave;
    settings.kind = SrsKind::Acceleration;
    return planShockSpectrum(settings, intervalS);
}

TargetCheck judgeTarget(const std::vector<SrsPoint>& points, const SpectrumTarget& target,
                        const DbTolerance& tolerance) {
    TargetCheck check;
    check.worstMarginDb = std::numeric_limits<double>::infinity();
    check.worstLowDb = std::numeric_limits<double>::infinity();
    check.worstHighDb = -std::numeric_limits<double>::infinity();
    for (const SrsPoint& p : points) {
        TargetPointCheck c;
        c.frequencyHz = p.frequencyHz;
        c.target = target.levelAt(p.frequencyHz);
        c.achieved = p.maximax;
        c.errorDb = dB(c.achieved / c.target);
        c.marginDb = std::min(c.errorDb + tolerance.lowDb, tolerance.highDb - c.errorDb);
        // NaN (no spectrum) is the worst of all and stays so.
        if (std::isnan(c.marginDb) || c.marginDb < check.worstMarginDb) {
            if (!std::isnan(check.worstMarginDb)) {
                check.worstMarginDb = c.marginDb;
                check.worstFrequencyHz = c.frequencyHz;
            }
        }
        check.worstLowDb = std::min(check.worstLowDb, c.errorDb);
        check.worstHighDb = std::max(check.worstHighDb, c.errorDb);
        check.points.push_back(c);
    }
    return check;
}

TargetCheck checkAgainstTarget(std::span<const double> samples, double intervalS,
                               const SpectrumTarget& target, const DbTolerance& tolerance, double q,
                               int perOctave, unsigned threads) {
    const SrsPlan plan = planTargetSpectrum(target, q, perOctave, intervalS);
    return judgeTarget(computeShockSpectrum(samples, plan, threads), target, tolerance);
}

}  // namespace korvex
