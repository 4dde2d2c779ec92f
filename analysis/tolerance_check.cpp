#include "analysis/tolerance_check.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <limits>
#include <thread>

#include "pulse/number_text.h"

namespace korvex {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// For people: six significant digits (the report has every digit).
std::string number(double x) {
    return humanText(x, 6);
}

std::string count(std::size_t n) {
    return std::to_string(n);
}

void requireFraction(double value, CheckField field, const char* what) {
    if (!(value >= 0.0 && value < kInf)) {
        throw CheckError(
            field, std::string(what) + " must be a number of 0 or more, got " + number(value));
    }
}

void validateInputs(const CheckPulse& pulse, const CheckSettings& s) {
    if (pulse.shape != PulseType::HalfSine && pulse.shape != PulseType::TerminalSawtooth) {
        throw CheckError(CheckField::Shape,
                         "the pulse shape must be half-sine or terminal sawtooth");
    }
    if (!(std::isfinite(pulse.amplitude) && pulse.amplitude != 0.0)) {
        throw CheckError(
            CheckField::Amplitude,
            "the amplitude must be a number other than 0, got " + number(pulse.amplitude));
    }
    if (!(pulse.durationS > 0.0 && pulse.durationS < kInf)) {
        throw CheckError(CheckField::Duration, "the pulse duration must be more than 0 s, got " +
                                                   number(pulse.durationS));
    }
    requireFraction(s.band, CheckField::Band, "the band");
    requireFraction(s.timeTolerance, CheckField::TimeTolerance, "the time tolerance");
    requireFraction(s.windowBefore, CheckField::WindowBefore, "the window before the pulse");
    requireFraction(s.windowAfter, CheckField::WindowAfter, "the window after the pulse");
    requireFraction(s.velocityTolerance, CheckField::VelocityTolerance,
                    "the velocity change tolerance");
    requireFraction(s.velocityBefore, CheckField::VelocityBefore,
                    "the velocity window before the pulse");
    requireFraction(s.velocityAfter, CheckField::VelocityAfter,
                    "the velocity window after the pulse");
    // Only the monitoring window is sure to lie inside the record.
    if (s.velocityBefore > s.windowBefore) {
        throw CheckError(CheckField::VelocityBefore,
                         "the velocity window before the pulse, " + number(s.velocityBefore) +
                             ", must not reach beyond the monitoring window, " +
                             number(s.windowBefore));
    }
    if (s.velocityAfter > s.windowAfter) {
        throw CheckError(CheckField::VelocityAfter,
                         "the velocity window after the pulse, " + number(s.velocityAfter) +
                             ", must not reach beyond the monitoring window, " +
                             number(s.windowAfter));
    }
    if (s.spectrum && !(std::isfinite(s.spectrum->lowDb) && std::isfinite(s.spectrum->highDb) &&
                        s.spectrum->lowDb <= s.spectrum->highDb)) {
        throw CheckError(CheckField::Spectrum,
                         "the spectrum tolerance must be two numbers of dB, the lower first, got " +
                             number(s.spectrum->lowDb) + "," + number(s.spectrum->highDb));
    }
}

void validateRecord(const RecordView& r) {
    const std::size_t n = r.size();
    if (n == 0) throw CheckError(CheckField::Record, "the record has no samples");
    if (r.time.empty()) {
        if (!(std::isfinite(r.startS) && r.intervalS > 0.0 && r.intervalS < kInf)) {
            throw CheckError(CheckField::Record, "the record has no times and no usable interval");
        }
        return;
    }
    if (r.time.size() != n) {
        throw CheckError(CheckField::Record, "the record has " + count(r.time.size()) +
                                                 " times for " + count(n) + " values");
    }
    if (!std::isfinite(r.time[0]) || !std::isfinite(r.time[n - 1])) {
        throw CheckError(CheckField::Record, "the record's times are not all numbers");
    }
}

void rejectTimes(const RecordView& r) {
    for (std::size_t i = 1; i < r.size(); ++i) {
        if (!(r.time[i] > r.time[i - 1])) {
            throw CheckError(CheckField::Record,
                             "time number " + count(i + 1) + ", " + number(r.time[i]) +
                                 ", does not follow the one before it, " + number(r.time[i - 1]));
        }
    }
}

void rejectValues(const RecordView& r) {
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (!std::isfinite(r.values[i] * r.values[i])) {
            throw CheckError(CheckField::Record, "value number " + count(i + 1) + ", " +
                                                     number(r.values[i]) +
                                                     ", is not a number the check can use");
        }
    }
    throw CheckError(CheckField::Record, "the record's values are too large to square and add");
}

// Running sums of m^2, P[i] over samples [0, i): compensated, so that the
// difference of two stays good to about an ulp of the larger one however
// long the record, and kept from ever falling by an ulp, which lets a span
// of starts be bounded by the sum over all their windows. Only the state at
// every kStride-th sample is kept; any stretch of P is worked out again
// from there, to the same bits (and a long record costs no memory for it).
struct SumState {
    double s = 0.0, c = 0.0, last = 0.0;  // last: P so far

    // Adds m[from, to), storing each P into out[0 ..] when out is given,
    // and returns how many of the times t[from, to), when given, do not
    // rise. (Out of line, so that the state stays in registers: the chain
    // of additions is the whole cost, and the times' check rides along.)
    [[gnu::noinline]] std::size_t add(const double* m, std::size_t from, std::size_t to,
                                      double* out = nullptr, const double* times = nullptr) {
        double s0 = s, c0 = c, p = last;
        std::size_t falls = 0;
        for (std::size_t i = from; i < to; ++i) {
            if (times != nullptr && i > 0) falls += !(times[i] > times[i - 1]);
            const double x = m[i] * m[i];
            const double t = s0 + x;
            c0 += s0 >= x ? (s0 - t) + x : (x - t) + s0;  // both are >= 0
            s0 = t;
            const double q = s0 + c0;
            p = q > p ? q : p;
            if (out != nullptr) out[i - from] = p;
        }
        s = s0, c = c0, last = p;
        return falls;
    }
};

constexpr std::size_t kStride = 1024;

class SquareSums {
  public:
    // Also checks that the times rise, in the same pass over the record.
    explicit SquareSums(const RecordView& r) : m_(r.values.data()), n_(r.size()) {
        SumState st;
        marks_.reserve(n_ / kStride + 1);
        std::size_t falls = 0;
        const double* t = r.time.empty() ? nullptr : r.time.data();
        for (std::size_t i = 0; i < n_; i += kStride) {
            marks_.push_back(st);
            falls += st.add(m_, i, std::min(n_, i + kStride), nullptr, t);
        }
        if (falls > 0) rejectTimes(r);
        if (!std::isfinite(st.s + st.c)) rejectValues(r);
        total_ = st.last;
    }

    double total() const { return total_; }

    // P[i] at a multiple of kStride at or below i, and at one at or above.
    double below(std::size_t i) const { return marks_[i / kStride].last; }
    double above(std::size_t i) const {
        const std::size_t j = (i + kStride - 1) / kStride;
        return j < marks_.size() ? marks_[j].last : total_;
    }

    // P[from], ..., P[to] into out.
    void fill(std::size_t from, std::size_t to, std::vector<double>& out) const {
        out.resize(to - from + 1);
        const std::size_t mark = from / kStride;
        SumState st = marks_[mark];
        st.add(m_, mark * kStride, from);
        out[0] = st.last;
        st.add(m_, from, to, out.data() + 1);
    }

  private:
    const double* m_;
    std::size_t n_;
    std::vector<SumState> marks_;
    double total_ = 0.0;
};

// The first index in [from, to) where `pred` turns false; pred is true on a
// prefix of the range.
template <class Pred>
std::size_t firstFalse(std::size_t from, std::size_t to, Pred pred) {
    while (from < to) {
        const std::size_t mid = from + (to - from) / 2;
        if (pred(mid)) {
            from = mid + 1;
        } else {
            to = mid;
        }
    }
    return from;
}

// Times are differences of rounded numbers: a sample within a billionth of
// the pulse duration of a window's edge, or of the pulse's end, counts as on
// it, so that a record as long as the window, or a sample at the end of the
// pulse, is not decided by the last bit.
constexpr double kSlack = 1e-9;

double slack(const CheckPulse& p) {
    return kSlack * p.durationS;
}

struct Window {
    double lo, hi;  // offsets from the pulse start, s
    double eps;
};

Window monitoring(const CheckPulse& p, const CheckSettings& s) {
    return {-s.windowBefore * p.durationS, (1 + s.windowAfter) * p.durationS, slack(p)};
}

// The samples i with lo <= t_i - tau <= hi, to within the slack: [first, end).
struct Span {
    std::size_t first, end;
};
Span samplesIn(const RecordView& r, double tau, Window w) {
    const std::size_t n = r.size();
    const std::size_t first =
        firstFalse(0, n, [&](std::size_t i) { return r.timeAt(i) - tau < w.lo - w.eps; });
    const std::size_t end =
        firstFalse(first, n, [&](std::size_t i) { return r.timeAt(i) - tau <= w.hi + w.eps; });
    return {first, end};
}

// The starts whose monitoring window lies inside the record, [first, end).
Span candidates(const RecordView& r, Window w) {
    const std::size_t n = r.size();
    const double t0 = r.timeAt(0), tn = r.timeAt(n - 1);
    const std::size_t first =
        firstFalse(0, n, [&](std::size_t k) { return t0 - r.timeAt(k) > w.lo + w.eps; });
    const std::size_t end =
        firstFalse(first, n, [&](std::size_t k) { return tn - r.timeAt(k) >= w.hi - w.eps; });
    return {first, end};
}

struct Best {
    std::size_t index = 0;
    double cost = kInf;
    bool beats(double c, std::size_t k) const { return c < cost || (c == cost && k < index); }
};

// The alignment's sums for one record and pulse. Everything that decides
// the result goes through windowEnd, bound and exactTerm, so every way of
// searching computes the same cost for the same start.
class Aligner {
  public:
    Aligner(const RecordView& r, const CheckPulse& p, const CheckSettings& s)
        : r_(r), p_(p), end_(p.durationS + slack(p)), sums_(r) {
        const Window w = monitoring(p, s);
        span_ = candidates(r, w);
        if (span_.first >= span_.end) {
            const double spans = r.timeAt(r.size() - 1) - r.timeAt(0);
            throw CheckError(CheckField::Record,
                             "the record is too short for the monitoring window: it spans " +
                                 number(spans) + " s in " + count(r.size()) +
                                 " samples; the window is " + number(w.hi - w.lo) + " s long (" +
                                 number(s.windowBefore) + " + 1 + " + number(s.windowAfter) +
                                 " times the pulse duration, " + number(p.durationS) +
                                 " s) and must lie inside the record with the pulse "
                                 "starting on a sample");
        }
    }

    Span candidateSpan() const { return span_; }

    // One past the last sample under the pulse started at k: the window is
    // t_i - t_k in [0, D], with the slack nominalAt gives its end. Never
    // less for a later k, so a walk over the starts carries it along, from
    // `from` (> k, at most the answer).
    std::size_t windowEnd(std::size_t k, std::size_t from) const {
        const double tk = r_.timeAt(k);
        const std::size_t n = r_.size();
        while (from < n && r_.timeAt(from) - tk <= end_) ++from;
        return from;
    }
    std::size_t windowEnd(std::size_t k) const {
        const double tk = r_.timeAt(k);
        return firstFalse(k + 1, r_.size(),
                          [&](std::size_t i) { return r_.timeAt(i) - tk <= end_; });
    }

    // The running sums of m^2 from sample `first` through every window of
    // the starts [first, last).
    struct Sums {
        std::size_t first = 0;
        std::vector<double> p;
        double at(std::size_t i) const { return p[i - first]; }
    };
    void sumsFor(std::size_t first, std::size_t last, Sums& out) const {
        out.first = first;
        sums_.fill(first, windowEnd(last - 1), out.p);
    }

    // The sum of squares of everything outside the pulse: a lower bound of
    // the cost, also as computed, since the squares added to it are >= 0
    // and rounding is monotonic.
    double bound(const Sums& p, std::size_t k, std::size_t end) const {
        return sums_.total() - (p.at(end) - p.at(k));
    }

    // No start in [first, last) has a smaller bound: the running sums never
    // fall, so no window holds more than the stretch around all of them,
    // and rounding keeps that order.
    double spanBound(std::size_t first, std::size_t last) const {
        return sums_.total() - (sums_.above(windowEnd(last - 1)) - sums_.below(first));
    }

    double exactTerm(std::size_t k, std::size_t end) const {
        const double tk = r_.timeAt(k);
        double sum = 0.0;
        for (std::size_t i = k; i < end; ++i) {
            const double d = r_.values[i] - nominalAt(p_, r_.timeAt(i) - tk);
            sum += d * d;
        }
        return sum;
    }

  private:
    const RecordView& r_;
    CheckPulse p_;
    double end_;
    SquareSums sums_;
    Span span_;
};

// Runs work(chunk) for chunks [0, chunks) on up to `threads` threads, each
// thread with its own slot: work(chunk, slot).
template <class Work>
void forChunks(std::size_t chunks, unsigned threads, Work work) {
    std::atomic<std::size_t> next{0};
    auto run = [&](unsigned slot) {
        for (std::size_t c; (c = next.fetch_add(1)) < chunks;) work(c, slot);
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run, t);
    run(0);
    for (std::thread& t : pool) t.join();
}

constexpr std::size_t kChunk = 1024;  // starts

Alignment alignEvery(const Aligner& a) {
    const Span c = a.candidateSpan();
    Alignment out;
    Best best;
    Aligner::Sums sums;
    a.sumsFor(c.first, c.end, sums);
    std::size_t end = c.first + 1;
    for (std::size_t k = c.first; k < c.end; ++k) {
        end = a.windowEnd(k, std::max(end, k + 1));
        const double cost = a.bound(sums, k, end) + a.exactTerm(k, end);
        ++out.evaluated;
        if (best.beats(cost, k)) best = {k, cost};
    }
    out.index = best.index;
    out.cost = best.cost;
    return out;
}

// The starts come in chunks, each with a bound of all its starts' bounds.
// The first best is the start of least bound, found by looking into chunks
// in the order of their bounds until the next could hold no smaller one,
// and costed in full. Then only chunks whose bound could beat the best are
// visited, and in them only the starts whose own bound could: the result is
// the earliest of the least costs, as alignEvery finds it, whatever the
// order in which threads visit them.
Alignment alignPruned(const Aligner& a, unsigned threads) {
    const Span c = a.candidateSpan();
    const std::size_t chunks = (c.end - c.first + kChunk - 1) / kChunk;
    auto chunkSpan = [&](std::size_t chunk) {
        const std::size_t first = c.first + chunk * kChunk;
        return Span{first, std::min(c.end, first + kChunk)};
    };
    std::vector<double> chunkBound(chunks);
    std::vector<std::size_t> order(chunks);
    for (std::size_t j = 0; j < chunks; ++j) {
        const Span s = chunkSpan(j);
        chunkBound[j] = a.spanBound(s.first, s.end);
        order[j] = j;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return chunkBound[x] < chunkBound[y] || (chunkBound[x] == chunkBound[y] && x < y);
    });
    Best seed;
    Aligner::Sums local;
    for (std::size_t j : order) {
        const Span s = chunkSpan(j);
        if (!seed.beats(chunkBound[j], s.first)) break;
        a.sumsFor(s.first, s.end, local);
        std::size_t end = s.first + 1;
        for (std::size_t k = s.first; k < s.end; ++k) {
            end = a.windowEnd(k, std::max(end, k + 1));
            const double bound = a.bound(local, k, end);
            if (seed.beats(bound, k)) seed = {k, bound};
        }
    }
    seed.cost = seed.cost + a.exactTerm(seed.index, a.windowEnd(seed.index));

    std::vector<std::size_t> visit;
    for (std::size_t j = 0; j < chunks; ++j) {
        if (seed.beats(chunkBound[j], chunkSpan(j).first)) visit.push_back(j);
    }
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, visit.size()));
    threads = std::max(threads, 1u);
    std::vector<Best> found(threads, seed);
    std::vector<std::size_t> evaluated(threads, 0);
    std::vector<Aligner::Sums> sums(threads);
    forChunks(visit.size(), threads, [&](std::size_t v, unsigned slot) {
        Best& best = found[slot];
        const Span s = chunkSpan(visit[v]);
        if (!best.beats(chunkBound[visit[v]], s.first)) return;
        a.sumsFor(s.first, s.end, sums[slot]);
        std::size_t end = a.windowEnd(s.first);
        for (std::size_t k = s.first; k < s.end; ++k) {
            end = a.windowEnd(k, std::max(end, k + 1));
            const double bound = a.bound(sums[slot], k, end);
            if (k == seed.index || !best.beats(bound, k)) continue;
            const double cost = bound + a.exactTerm(k, end);
            ++evaluated[slot];
            if (best.beats(cost, k)) best = {k, cost};
        }
    });
    Alignment out;
    Best best = seed;
    for (const Best& b : found) {
        if (best.beats(b.cost, b.index)) best = b;
    }
    out.index = best.index;
    out.cost = best.cost;
    out.evaluated = 1;
    for (std::size_t e : evaluated) out.evaluated += e;
    return out;
}

struct BandSample {
    double nominal, lower, upper;
};

BandSample bandAt(const CheckPulse& p, const CheckSettings& s, double offset) {
    const NominalRange r = nominalRange(p, offset - s.timeTolerance * p.durationS,
                                        offset + s.timeTolerance * p.durationS);
    const double tol = s.band * std::fabs(p.amplitude);
    return {nominalAt(p, offset), r.min - tol, r.max + tol};
}

double nominalVelocityChange(const CheckPulse& p) {
    return p.shape == PulseType::HalfSine ? 2 * p.amplitude * p.durationS / kPi
                                          : p.amplitude * p.durationS / 2;
}

SpectrumResult checkSpectrum(const RecordView& r, std::size_t start, const CheckPulse& p,
                             CheckSettings& s, unsigned threads) {
    if (!(r.intervalS > 0.0 && r.intervalS < kInf)) {
        throw CheckError(CheckField::Record,
                         "the spectrum needs the record's sample interval, which it does not give");
    }
    const SrsPlan plan = planShockSpectrum(s.srs, r.intervalS);
    s.srs.fromHz = plan.fromHz;
    s.srs.toHz = plan.toHz;
    // The nominal on the record's own times, so that both spectra see the
    // same span after the pulse.
    std::vector<double> nominal(r.size());
    const double tau = r.timeAt(start);
    for (std::size_t i = 0; i < nominal.size(); ++i) nominal[i] = nominalAt(p, r.timeAt(i) - tau);
    const std::vector<SrsPoint> got = computeShockSpectrum(r.values, plan, threads);
    const std::vector<SrsPoint> want = computeShockSpectrum(nominal, plan, threads);

    SpectrumResult out;
    out.pass = true;
    double worst = kInf;
    for (std::size_t j = 0; j < got.size(); ++j) {
        const double db = 20 * std::log10(got[j].maximax / want[j].maximax);
        double margin = std::min(db - s.spectrum->lowDb, s.spectrum->highDb - db);
        if (std::isnan(margin)) margin = -kInf;
        if (!(margin >= 0.0)) out.pass = false;
        if (margin < worst || j == 0) {
            worst = margin;
            out.worstFrequencyHz = got[j].frequencyHz;
            out.worstDb = db;
        }
    }
    return out;
}

}  // namespace

double nominalAt(const CheckPulse& pulse, double s) {
    const double D = pulse.durationS;
    if (!(s >= 0.0 && s <= D + slack(pulse))) return 0.0;
    s = std::min(s, D);
    if (pulse.shape == PulseType::HalfSine) return pulse.amplitude * std::sin(kPi * s / D);
    return pulse.amplitude * s / D;
}

// Each shape is monotonic between the points 0, D/2 and D and constant
// outside [0, D] (and on the slack after D; the sawtooth's drop reaches 0 at
// once), so the extremes over [from, to] lie among its ends and those of the
// points that fall inside it.
NominalRange nominalRange(const CheckPulse& pulse, double from, double to) {
    const double D = pulse.durationS;
    double lo = std::min(nominalAt(pulse, from), nominalAt(pulse, to));
    double hi = std::max(nominalAt(pulse, from), nominalAt(pulse, to));
    for (double u : {0.0, D / 2, D}) {
        if (u >= from && u <= to) {
            const double v = nominalAt(pulse, u);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    return {lo, hi};
}

Alignment alignPulse(const RecordView& record, const CheckPulse& pulse,
                     const CheckSettings& settings, AlignSearch search, unsigned threads) {
    validateInputs(pulse, settings);
    validateRecord(record);
    const Aligner a(record, pulse, settings);
    return search == AlignSearch::Every ? alignEvery(a) : alignPruned(a, threads);
}

CheckReport checkRecord(const RecordView& record, const CheckPulse& pulse,
                        const CheckSettings& settings, unsigned threads) {
    CheckReport rep;
    rep.pulse = pulse;
    rep.settings = settings;
    const Alignment al = alignPulse(record, pulse, settings, AlignSearch::Pruned, threads);
    rep.offsetIndex = al.index;
    rep.offsetS = record.timeAt(al.index);
    const double tau = rep.offsetS;
    const double A = std::fabs(pulse.amplitude);

    BandResult& band = rep.band;
    const Span mon = samplesIn(record, tau, monitoring(pulse, settings));
    band.samplesChecked = mon.end - mon.first;
    band.worstMargin = kInf;
    for (std::size_t i = mon.first; i < mon.end; ++i) {
        const double t = record.timeAt(i), m = record.values[i];
        const BandSample b = bandAt(pulse, settings, t - tau);
        if (m < b.lower || m > b.upper) ++band.samplesOutside;
        const double margin = std::min(b.upper - m, m - b.lower) / A;
        if (margin < band.worstMargin) {
            band.worstMargin = margin;
            band.worstIndex = i;
            band.worstTimeS = t;
            band.worstValue = m;
            band.worstLower = b.lower;
            band.worstUpper = b.upper;
        }
    }
    band.pass = band.samplesOutside == 0;

    VelocityResult& v = rep.velocity;
    const double D = pulse.durationS;
    const Span vel =
        samplesIn(record, tau,
                  {-settings.velocityBefore * D, (1 + settings.velocityAfter) * D, slack(pulse)});
    double sum = 0.0;
    for (std::size_t i = vel.first; i + 1 < vel.end; ++i) {
        const double h =
            record.time.empty() ? record.intervalS : record.time[i + 1] - record.time[i];
        sum += (record.values[i] + record.values[i + 1]) / 2 * h;
    }
    v.measured = sum;
    v.nominal = nominalVelocityChange(pulse);
    v.ratio = v.measured / v.nominal;
    v.pass = std::fabs(v.measured - v.nominal) <= settings.velocityTolerance * std::fabs(v.nominal);

    if (settings.spectrum) {
        rep.srs = checkSpectrum(record, al.index, pulse, rep.settings, threads);
    }
    rep.pass = band.pass && v.pass && (!rep.srs || rep.srs->pass);
    return rep;
}

std::vector<BandRow> bandRows(const RecordView& record, const CheckReport& report) {
    const double tau = report.offsetS;
    const Span mon = samplesIn(record, tau, monitoring(report.pulse, report.settings));
    std::vector<BandRow> rows;
    rows.reserve(mon.end - mon.first);
    for (std::size_t i = mon.first; i < mon.end; ++i) {
        const double t = record.timeAt(i);
        const BandSample b = bandAt(report.pulse, report.settings, t - tau);
        rows.push_back({t, record.values[i], b.nominal, b.lower, b.upper});
    }
    return rows;
}

void appendBandRow(std::string& out, const BandRow& row) {
    char buf[5 * 32];
    char* p = buf;
    for (double x : {row.timeS, row.value, row.nominal, row.lower, row.upper}) {
        if (p != buf) *p++ = ' ';
        p = std::to_chars(p, buf + sizeof buf, x).ptr;
    }
    *p++ = '\n';
    out.append(buf, p);
}

std::string checkVerdict(const CheckReport& r) {
    const BandResult& b = r.band;
    const VelocityResult& v = r.velocity;
    if (!b.pass) {
        const bool above = b.worstValue > b.worstUpper;
        return "FAIL: band: " + count(b.samplesOutside) + " of " + count(b.samplesChecked) +
               " samples outside, worst at " + number(b.worstTimeS) +
               " s: " + number(b.worstValue) +
               (above ? " above the upper limit " + number(b.worstUpper)
                      : " below the lower limit " + number(b.worstLower));
    }
    const std::string velocity = "velocity change: " + number(v.measured) + " against " +
                                 number(v.nominal) + ", ratio " + number(v.ratio);
    if (!v.pass) {
        return "FAIL: " + velocity + ", more than " + number(r.settings.velocityTolerance) +
               " of the nominal away";
    }
    std::string spectrum;
    if (r.srs) {
        const SpectrumTolerance& tol = *r.settings.spectrum;
        const double db = r.srs->worstDb;
        const std::string at = number(db) + " dB at " + number(r.srs->worstFrequencyHz) + " Hz";
        if (!r.srs->pass) {
            return "FAIL: spectrum: " + at +
                   (db > tol.highDb ? ", above the upper limit " + number(tol.highDb)
                                    : ", below the lower limit " + number(tol.lowDb)) +
                   " dB";
        }
        spectrum = "; spectrum: within " + number(tol.lowDb) + " to " + number(tol.highDb) +
                   " dB, closest to a limit " + at;
    }
    return "PASS: band: all " + count(b.samplesChecked) + " samples inside, closest to a limit " +
           number(b.worstMargin) + " of the amplitude at " + number(b.worstTimeS) + " s; " +
           velocity + spectrum;
}

}  // namespace korvex
