#include "analysis/check/correlation.h"

#include <fftw3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

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
using Buffer = std::unique_ptr<double[], FftwFree>;

// Room for B reals, transformed in place into B / 2 + 1 complex numbers.
Buffer buffer(std::size_t b) {
    Buffer out(static_cast<double*>(fftw_malloc((b / 2 + 1) * 2 * sizeof(double))));
    if (!out) throw std::bad_alloc();
    return out;
}
fftw_complex* complexes(const Buffer& b) {
    return reinterpret_cast<fftw_complex*>(b.get());
}

struct Plans {
    fftw_plan forward = nullptr, inverse = nullptr;
    Plans(std::size_t b, const Buffer& buf) {
        if (b > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            throw std::length_error("the record is too long for one transform");
        }
        const std::lock_guard<std::mutex> lock(plannerMutex());
        const int n = static_cast<int>(b);
        forward = fftw_plan_dft_r2c_1d(n, buf.get(), complexes(buf), FFTW_ESTIMATE);
        inverse = fftw_plan_dft_c2r_1d(n, complexes(buf), buf.get(), FFTW_ESTIMATE);
        if (forward == nullptr || inverse == nullptr) {
            if (forward != nullptr) fftw_destroy_plan(forward);
            if (inverse != nullptr) fftw_destroy_plan(inverse);
            throw std::runtime_error("FFTW could not plan a transform of the record");
        }
    }
    ~Plans() {
        const std::lock_guard<std::mutex> lock(plannerMutex());
        fftw_destroy_plan(forward);
        fftw_destroy_plan(inverse);
    }
    Plans(const Plans&) = delete;
    Plans& operator=(const Plans&) = delete;
};

// The least 2^a 3^b 5^c 7^d >= x: lengths FFTW transforms fast.
std::size_t smoothAtLeast(std::size_t x) {
    std::size_t best = std::bit_ceil(x);
    for (std::size_t p7 = 1; p7 < best; p7 *= 7) {
        for (std::size_t p5 = p7; p5 < best; p5 *= 5) {
            for (std::size_t p3 = p5; p3 < best; p3 *= 3) {
                std::size_t v = p3;
                while (v < x) v *= 2;
                best = std::min(best, v);
            }
        }
    }
    return best;
}

// A block several kernels long keeps the overlap a small share of the work,
// but no longer than gives every thread a block of its own (long transforms
// are slow to plan and leave the cache), nor than one covering the record.
std::size_t blockSizeFor(std::size_t n, std::size_t l, unsigned threads) {
    const std::size_t outputs = n - l + 1;
    const std::size_t perThread = l - 1 + (outputs + threads - 1) / threads;
    const std::size_t want =
        std::max(2 * l, std::min(std::max<std::size_t>(2048, 8 * l), perThread));
    return std::min(smoothAtLeast(want), smoothAtLeast(n));
}

}  // namespace

double Correlation::errorBound(std::size_t k, double kernelNorm) const {
    constexpr double u = std::numeric_limits<double>::epsilon() / 2;
    const double logB = std::log2(static_cast<double>(blockSize));
    const double perTransform = 8 * u * logB;
    return 1.01 * std::sqrt(static_cast<double>(blockSize)) * (3 * perTransform + 4 * u) *
           blockNorm[k / blockOutputs] * kernelNorm;
}

Correlation correlate(std::span<const double> m, std::span<const double> kernel, unsigned threads,
                      CheckProgress* progress) {
    const std::size_t n = m.size(), l = kernel.size(), outputs = n - l + 1;
    threads = threadsFor(n, threads);
    Correlation c;
    c.blockSize = blockSizeFor(n, l, threads);
    const std::size_t b = c.blockSize, half = b / 2 + 1;
    c.blockOutputs = b - l + 1;
    const std::size_t blocks = (outputs + c.blockOutputs - 1) / c.blockOutputs;
    c.value.resize(outputs);
    c.blockNorm.resize(blocks);
    if (progress != nullptr) progress->total = blocks;

    const Buffer kernelSpectrum = buffer(b);
    const Plans plans(b, kernelSpectrum);
    std::fill(kernelSpectrum.get(), kernelSpectrum.get() + 2 * half, 0.0);
    std::copy(kernel.begin(), kernel.end(), kernelSpectrum.get());
    fftw_execute_dft_r2c(plans.forward, kernelSpectrum.get(), complexes(kernelSpectrum));
    const fftw_complex* y = complexes(kernelSpectrum);

    threads = threadsFor(blocks, threads);
    std::vector<Buffer> scratch(threads);
    parallelFor(blocks, threads, [&](std::size_t block, unsigned slot) {
        if (!scratch[slot]) scratch[slot] = buffer(b);
        double* in = scratch[slot].get();
        fftw_complex* x = complexes(scratch[slot]);
        const std::size_t first = block * c.blockOutputs;
        const std::size_t read = std::min(b, n - first);
        double sum = 0.0;
        for (std::size_t i = 0; i < read; ++i) {
            in[i] = m[first + i];
            sum += in[i] * in[i];
        }
        std::fill(in + read, in + 2 * half, 0.0);
        c.blockNorm[block] = std::sqrt(sum);
        fftw_execute_dft_r2c(plans.forward, in, x);
        // X conj(Y): the circular correlation, whose first B - L + 1 terms
        // never wrap around.
        for (std::size_t i = 0; i < half; ++i) {
            const double xr = x[i][0], xi = x[i][1], yr = y[i][0], yi = y[i][1];
            x[i][0] = xr * yr + xi * yi;
            x[i][1] = xi * yr - xr * yi;
        }
        fftw_execute_dft_c2r(plans.inverse, x, in);
        const std::size_t count = std::min(c.blockOutputs, outputs - first);
        const double scale = static_cast<double>(b);
        for (std::size_t q = 0; q < count; ++q) c.value[first + q] = in[q] / scale;
        if (progress != nullptr) progress->done.fetch_add(1, std::memory_order_relaxed);
    });
    return c;
}

}  // namespace korvex::check
