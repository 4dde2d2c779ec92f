// The writers: the dialog's one write per line, and the streaming writer
// that computes and formats a long record a piece at a time.
#include <algorithm>
#include <optional>
#include <thread>

#include "pulse/time_history.h"
#include "pulse/worker.h"

namespace korvex {

void writeTimeHistory(OutputSink& sink, const PulseSeries& series) {
    // Formatted a block ahead by the batch formatter, several times faster
    // than a line at a time, and still handed over one write per line: a
    // failure stops the writer at that line and drops the rest of the block.
    constexpr int kBlock = 256;
    char block[kBlock * kTimeHistoryLineSize];
    for (int first = 0; first < series.count; first += kBlock) {
        const int n = std::min(kBlock, series.count - first);
        formatTimeHistoryLines(block, &series.time[first], &series.amplitude[first],
                               static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) {
            sink.write(block + static_cast<std::size_t>(k) * kTimeHistoryLineSize,
                       kTimeHistoryLineSize);
        }
    }
}

namespace {

// Lines [first, end) of the record into out, the samples computed a piece
// at a time in arrays that stay in the first-level cache.
void formatSampledLines(char* out, const SampleSource& samples, int first, int end) {
    constexpr int kPiece = 1024;
    double times[kPiece], amplitudes[kPiece];
    for (int i = first; i < end; i += kPiece) {
        const int stop = std::min(end, i + kPiece);
        samples(i, stop, times, amplitudes);
        formatTimeHistoryLines(out + static_cast<std::size_t>(i - first) * kTimeHistoryLineSize,
                               times, amplitudes, static_cast<std::size_t>(stop - i));
    }
}

}  // namespace

void writeSampledTimeHistory(OutputSink& sink, int count, const SampleSource& samples) {
    const int perReserve = static_cast<int>(
        std::min<std::size_t>(kMaxSamples, sink.maxReserve() / kTimeHistoryLineSize));
    // Halving a batch pays for the hand-over only when batches are large
    // and there is a second processor to take the other half.
    constexpr int kHalvedBatch = 8192;
    std::optional<Worker> helper;
    if (perReserve >= kHalvedBatch && count >= 2 * kHalvedBatch &&
        std::thread::hardware_concurrency() > 1) {
        helper.emplace();
    }
    for (int first = 0; first < count; first += perReserve) {
        const int end = std::min(count, first + perReserve);
        const auto size = static_cast<std::size_t>(end - first) * kTimeHistoryLineSize;
        char* out = sink.reserve(size);
        if (helper && end - first >= kHalvedBatch) {
            // The back half on the helper while this thread does the front.
            const int mid = first + (end - first) / 2;
            char* back = out + static_cast<std::size_t>(mid - first) * kTimeHistoryLineSize;
            helper->start(
                [&samples, back, mid, end] { formatSampledLines(back, samples, mid, end); });
            formatSampledLines(out, samples, first, mid);
            helper->wait();
        } else {
            formatSampledLines(out, samples, first, end);
        }
        sink.commit(size);
    }
}

void writePulseTimeHistory(OutputSink& sink, const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    writeSampledTimeHistory(sink, plan.count,
                            [&params, &plan](int first, int end, double* t, double* a) {
                                computePulseSamples(params, plan, first, end, t, a);
                            });
}

}  // namespace korvex
