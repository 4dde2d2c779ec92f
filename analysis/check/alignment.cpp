// The least-squares pulse start, by an FFT cross-correlation whose few
// closest contenders are then costed sample by sample.
//
// Why the fast search finds the plain one's start and cost, bit for bit:
// the cost of k is total + s(k), s(k) = sum_j n_j (n_j - 2 m_{k+j}) =
// E - 2 c(k) with c the cross-correlation; both searches compute s(k) with
// the same function (in a fixed order), so only which k get that exact sum
// can differ. The FFT
// gives c(k) to within a bound f(k) (Correlation::errorBound), and the exact
// sum is within 2 e(k) of E - 2 c(k), e(k) = (L + 2) u (|n|^2 + 2 |n| |m_b|)
// / 2 (a sum of L products, each term within 2 u). With d = f + e and T the
// largest c'(k) - d(k) over all k (c' as computed), the plain search's start
// k_e has c'(k_e) + d(k_e) >= T: its exact sum is no more than that of the
// start where T is reached. So costing every k with c'(k) + d(k) >= T
// exactly, and taking the least, earliest on ties, is the plain search.
#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/check/check_common.h"
#include "analysis/check/correlation.h"

namespace korvex {
namespace check {
namespace {

// The nominal on the alignment's even steps, over [0, D] and its slack.
std::vector<double> nominalSamples(const CheckPulse& p, double h) {
    std::vector<double> n;
    n.reserve(static_cast<std::size_t>(std::max(0.0, std::ceil(p.durationS / h))) + 2);
    for (std::size_t j = 0;; ++j) {
        const double s = static_cast<double>(j) * h;
        if (!(s <= p.durationS + slack(p))) break;
        n.push_back(nominalAt(p, s));
    }
    return n;
}

// s(k) for the nominal times `sign`: the one sum both searches use.
// Four running sums, j mod 4, added at the end: a fixed order (the bound
// on its rounding holds for any order), four times shorter a chain.
double exactScore(const double* m, const std::vector<double>& n, double sign) {
    double s[4] = {0.0, 0.0, 0.0, 0.0};
    const std::size_t l = n.size();
    std::size_t j = 0;
    for (; j + 4 <= l; j += 4) {
        for (std::size_t q = 0; q < 4; ++q) {
            const double v = sign * n[j + q];
            s[q] += v * (v - 2 * m[j + q]);
        }
    }
    for (; j < l; ++j) {
        const double v = sign * n[j];
        s[j % 4] += v * (v - 2 * m[j]);
    }
    return (s[0] + s[1]) + (s[2] + s[3]);
}

double residual(const double* m, const std::vector<double>& n, double sign) {
    double sum = 0.0;
    for (std::size_t j = 0; j < n.size(); ++j) {
        const double d = m[j] - sign * n[j];
        sum += d * d;
    }
    return sum;
}

struct Best {
    std::size_t index = 0;
    double score = std::numeric_limits<double>::infinity();
    bool beats(double s, std::size_t k) const { return s < score || (s == score && k < index); }
};

Best everyStart(std::span<const double> m, const std::vector<double>& n, double sign) {
    Best best;
    for (std::size_t k = 0; k + n.size() <= m.size(); ++k) {
        const double s = exactScore(m.data() + k, n, sign);
        if (best.beats(s, k)) best = {k, s};
    }
    return best;
}

// A flat record other than zeros (a constant) leaves every start within
// rounding of the best. Past this many exact sums only the contenders of
// largest c' are costed, earliest first on ties: equality with the plain
// search is then not proven.
std::size_t exactBudget(std::size_t n, std::size_t l) {
    return std::max<std::size_t>(256, 16 * n / l);
}

Best fastStart(std::span<const double> m, const std::vector<double>& n, double sign,
               const Correlation& c, std::size_t budget, std::size_t& evaluated) {
    constexpr double u = std::numeric_limits<double>::epsilon() / 2;
    double nn = 0.0;
    for (double v : n) nn += v * v;
    const double norm = std::sqrt(nn) * 1.01;
    const double terms = static_cast<double>(n.size() + 2) * u * 1.01;
    std::vector<double> blockBound(c.blockNorm.size());
    for (std::size_t b = 0; b < blockBound.size(); ++b) {
        const double mb = c.blockNorm[b] * 1.01;
        blockBound[b] =
            c.errorBound(b * c.blockOutputs, norm) + terms * (nn * 1.01 + 2 * norm * mb) / 2;
    }
    // Block by block, with each block's bound; most blocks cannot hold a
    // contender at all.
    const std::size_t blocks = blockBound.size(), outputs = c.value.size();
    std::vector<double> blockMax(blocks, -std::numeric_limits<double>::infinity());
    double threshold = -std::numeric_limits<double>::infinity();
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t end = std::min(outputs, (b + 1) * c.blockOutputs);
        double most = blockMax[b];
        for (std::size_t k = b * c.blockOutputs; k < end; ++k) {
            most = std::max(most, sign * c.value[k]);
        }
        blockMax[b] = most;
        threshold = std::max(threshold, most - blockBound[b]);
    }
    // A start whose window holds only zeros has the sum of n_j^2 in order
    // for its exact sum, whatever the sign: of those only the first counts.
    // (A pulse padded with zeros ties on every zero stretch.)
    std::vector<std::size_t> contenders;
    const std::size_t l = n.size();
    bool silentSeen = false;
    std::size_t walked = 0, lastNonzero = 0;  // the last nonzero in m[0, walked), if any
    bool anyNonzero = false;
    for (std::size_t b = 0; b < blocks; ++b) {
        if (!(blockMax[b] + blockBound[b] >= threshold)) continue;
        const std::size_t end = std::min(outputs, (b + 1) * c.blockOutputs);
        for (std::size_t k = b * c.blockOutputs; k < end; ++k) {
            if (!(sign * c.value[k] + blockBound[b] >= threshold)) continue;
            for (; walked < k + l; ++walked) {
                if (m[walked] != 0.0) lastNonzero = walked, anyNonzero = true;
            }
            if (anyNonzero && lastNonzero >= k) {
                contenders.push_back(k);
            } else if (!silentSeen) {
                silentSeen = true;
                contenders.push_back(k);
            }
        }
    }
    if (contenders.size() > budget) {
        std::partial_sort(contenders.begin(), contenders.begin() + budget, contenders.end(),
                          [&](std::size_t a, std::size_t b) {
                              const double x = sign * c.value[a], y = sign * c.value[b];
                              return x > y || (x == y && a < b);
                          });
        contenders.resize(budget);
    }
    Best best;
    for (std::size_t k : contenders) {
        const double s = exactScore(m.data() + k, n, sign);
        if (best.beats(s, k)) best = {k, s};
    }
    evaluated += contenders.size();
    return best;
}

}  // namespace
}  // namespace check

Alignment alignPulse(const RecordView& record, const CheckPulse& pulse,
                     const CheckSettings& settings, AlignSearch search, unsigned threads,
                     CheckProgress* progress) {
    using namespace check;
    validateInputs(pulse, settings);
    const double total = validateRecord(record);
    const double h = alignmentInterval(record);
    if (!(h > 0.0 && h < kInf)) {
        throw CheckError(CheckField::Record, "the record has one sample and no interval");
    }
    const auto tooShort = [&] {
        return CheckError(CheckField::Record,
                          "the record is shorter than the pulse: it spans " +
                              number(static_cast<double>(record.size() - 1) * h) + " s in " +
                              count(record.size()) + " samples; the pulse lasts " +
                              number(pulse.durationS) + " s");
    };
    // Refused before the nominal's samples are made: a pulse far longer
    // than the record would not fit in memory.
    if (pulse.durationS / h >= static_cast<double>(record.size())) throw tooShort();
    const std::vector<double> n = nominalSamples(pulse, h);
    if (n.size() > record.size()) throw tooShort();
    Alignment a;
    Best own, opposite;
    if (search == AlignSearch::Every) {
        own = everyStart(record.values, n, 1.0);
        opposite = everyStart(record.values, n, -1.0);
        a.evaluated = record.size() - n.size() + 1;
    } else {
        const Correlation c = correlate(record.values, n, threads, progress);
        own =
            fastStart(record.values, n, 1.0, c, exactBudget(record.size(), n.size()), a.evaluated);
        // The other sign only tells whether the record looks inverted: its
        // contender of largest c' will do.
        opposite = fastStart(record.values, n, -1.0, c, 1, a.evaluated);
    }
    a.index = own.index;
    a.cost = total + own.score;
    a.oppositeIndex = opposite.index;
    a.oppositeCost = total + opposite.score;
    a.residual = residual(record.values.data() + a.index, n, 1.0);
    a.oppositeResidual = residual(record.values.data() + a.oppositeIndex, n, -1.0);
    return a;
}

}  // namespace korvex
