#include "analysis/check/correlation.h"

#include <fftw3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

#include "pulse/parallel.h"

namespace korvex::check {
namespace {

// FFTW's planner is not thread-safe; its plans may run on many threads at
// once on arrays of their own (fftw_malloc aligns them all alike).
std::mutex& plannerMutex() {
    static std::mutex m;
    return m;
}

struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};
using Reals = std::unique_ptr<double[], FftwFree>;
using Complexes = std::unique_ptr<fftw_complex[], FftwFree>;

Reals reals(std::size_t n) {
    return Reals(static_cast<double*>(fftw_malloc(n * sizeof(double))));
}
Complexes complexes(std::size_t n) {
    return Complexes(static_cast<fftw_complex*>(fftw_malloc(n * sizeof(fftw_complex))));
}

struct Plans {
    fftw_plan forward = nullptr, inverse = nullptr;
    Plans(std::size_t b, double* in, fftw_complex* out) {
        const std::lock_guard<std::mutex> lock(plannerMutex());
        const int n = static_cast<int>(b);
        forward = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
        inverse = fftw_plan_dft_c2r_1d(n, out, in, FFTW_ESTIMATE);
    }
    ~Plans() {
        const std::lock_guard<std::mutex> lock(plannerMutex());
        fftw_destroy_plan(forward);
        fftw_destroy_plan(inverse);
    }
    Plans(const Plans&) = delete;
    Plans& operator=(const Plans&) = delete;
};

// A block several kernels long keeps the overlap a small share of the work;
// one block is enough when it covers the whole record.
std::size_t blockSizeFor(std::size_t n, std::size_t l) {
    const std::size_t whole = std::bit_ceil(std::max(n, 2 * l));
    return std::min(whole, std::bit_ceil(std::max<std::size_t>(2048, 8 * l)));
}

struct Scratch {
    Reals in;
    Complexes spectrum;
};

}  // namespace

double Correlation::errorBound(std::size_t k, double kernelNorm) const {
    constexpr double u = std::numeric_limits<double>::epsilon() / 2;
    const double logB = std::log2(static_cast<double>(blockSize));
    const double perTransform = 8 * u * logB;
    return 1.01 * std::sqrt(static_cast<double>(blockSize)) * (3 * perTransform + 2 * u) *
           blockNorm[k / blockOutputs] * kernelNorm;
}

Correlation correlate(std::span<const double> m, std::span<const double> kernel, unsigned threads,
                      CheckProgress* progress) {
    const std::size_t n = m.size(), l = kernel.size(), outputs = n - l + 1;
    Correlation c;
    c.blockSize = blockSizeFor(n, l);
    const std::size_t b = c.blockSize, half = b / 2 + 1;
    c.blockOutputs = b - l + 1;
    const std::size_t blocks = (outputs + c.blockOutputs - 1) / c.blockOutputs;
    c.value.resize(outputs);
    c.blockNorm.resize(blocks);
    if (progress != nullptr) progress->total = blocks;

    Reals in = reals(b);
    Complexes kernelSpectrum = complexes(half);
    const Plans plans(b, in.get(), kernelSpectrum.get());
    std::fill(in.get(), in.get() + b, 0.0);
    std::copy(kernel.begin(), kernel.end(), in.get());
    fftw_execute_dft_r2c(plans.forward, in.get(), kernelSpectrum.get());

    threads = threadsFor(blocks, threads);
    std::vector<Scratch> scratch(threads);
    parallelFor(blocks, threads, [&](std::size_t block, unsigned slot) {
        Scratch& s = scratch[slot];
        if (!s.in) s = {reals(b), complexes(half)};
        const std::size_t first = block * c.blockOutputs;
        const std::size_t read = std::min(b, n - first);
        double sum = 0.0;
        for (std::size_t i = 0; i < read; ++i) {
            s.in[i] = m[first + i];
            sum += s.in[i] * s.in[i];
        }
        std::fill(s.in.get() + read, s.in.get() + b, 0.0);
        c.blockNorm[block] = std::sqrt(sum);
        fftw_execute_dft_r2c(plans.forward, s.in.get(), s.spectrum.get());
        // X conj(Y): the circular correlation, whose first B - L + 1 terms
        // never wrap around.
        for (std::size_t i = 0; i < half; ++i) {
            const double xr = s.spectrum[i][0], xi = s.spectrum[i][1];
            const double yr = kernelSpectrum[i][0], yi = kernelSpectrum[i][1];
            s.spectrum[i][0] = xr * yr + xi * yi;
            s.spectrum[i][1] = xi * yr - xr * yi;
        }
        fftw_execute_dft_c2r(plans.inverse, s.spectrum.get(), s.in.get());
        const std::size_t count = std::min(c.blockOutputs, outputs - first);
        const double scale = 1.0 / static_cast<double>(b);  // a power of two: exact
        for (std::size_t q = 0; q < count; ++q) c.value[first + q] = s.in[q] * scale;
        if (progress != nullptr) progress->done.fetch_add(1, std::memory_order_relaxed);
    });
    return c;
}

}  // namespace korvex::check
