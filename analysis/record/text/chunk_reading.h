// Reading one chunk of lines: by the line template while lines match it,
// by the plain parser otherwise, learning a new template as layouts change.
// The loop is a template so that the AVX2 file compiles it whole for its
// own vectors.
#pragma once

#include <algorithm>
#include <vector>

#include "analysis/record/text/line_template.h"
#include "analysis/record/text/plain_line.h"
#include "pulse/simd.h"

namespace korvex::text {

struct Body {
    const Layout* layout = nullptr;
    const char* textEnd = nullptr;
    double* times = nullptr;  // null without a time column
    double* values = nullptr;
    bool templates = true;
    bool wide = true;
};

// The samples a chunk has read so far, and the shortest and the longest
// time step between them: they alone decide whether every step is within
// the tolerance.
struct ChunkSamples {
    double* times;  // null without a time column
    double* values;
    std::size_t room;  // samples the arrays hold from times and values on
    std::size_t n = 0;
    double previous = 0.0, minStep = kNoStep[0], maxStep = kNoStep[1];
};

// Stores the sample of the fields just read.
KORVEX_ALWAYS_INLINE void storeSample(const Layout& layout, const double* fields, ChunkSamples& s) {
    if (s.times != nullptr) {
        const double t = fields[layout.timeField] * layout.timeScale;
        if (s.n > 0) {
            s.minStep = std::min(s.minStep, t - s.previous);
            s.maxStep = std::max(s.maxStep, t - s.previous);
        }
        s.times[s.n] = s.previous = t;
    }
    s.values[s.n++] = fields[layout.valueField];
}

// Reads the lines from p on by the template while they match it, each
// starting before `stop`; returns where it stopped. A run of lines of one
// layout is most of a large file: its state is kept in locals, which the
// compiler keeps in registers.
template <class Match>
KORVEX_ALWAYS_INLINE const char* readRunWith(const LineTemplate& t, const Layout& layout,
                                             const char* p, const char* stop,
                                             ChunkSamples& samples) {
    double fields[kTemplateFields];
    ChunkSamples s = samples;
    const std::size_t size = t.size;
    while (p < stop && s.n < s.room && Match::match(t, p, fields)) {
        storeSample(layout, fields, s);
        p += size;
    }
    samples = s;
    return p;
}

// The template readers: 16-byte vectors and eight digits at a time, or
// 32-byte vectors where a template allows.
struct NarrowMatch {
    static bool match(const LineTemplate& t, const char* line, double* out) {
        return matchTemplate(t, line, out);
    }
};
struct NarrowReading {
    static const char* run(const LineTemplate& t, const Layout& layout, const char* p,
                           const char* stop, ChunkSamples& samples) {
        return readRunWith<NarrowMatch>(t, layout, p, stop, samples);
    }
};

// Inlined into one function per reader, so that the wide one is compiled
// for the wide vectors as a whole.
template <class Reading>
KORVEX_ALWAYS_INLINE void parseChunkWith(const Body& body, Chunk& c) {
    const Layout& layout = *body.layout;
    ChunkSamples samples{body.times != nullptr ? body.times + c.offset : nullptr,
                         body.values + c.offset, c.lines};
    double few[kTemplateFields];
    std::vector<double> many(layout.fields > kTemplateFields ? layout.fields : 0);
    double* const fields = many.empty() ? few : many.data();
    const char* spans[2 * kTemplateFields];
    const bool learn = body.templates && layout.fields <= kTemplateFields;
    LineTemplate tmpl;
    unsigned skipLearning = 0, backoff = 0;
    std::size_t hits = 0;  // lines the template read since the last attempt to learn one
    bool attempted = false;
    // Lines that start before tryEnd have room for a template's reach.
    const char* const tryEnd = static_cast<std::size_t>(body.textEnd - c.begin) < kTemplateReach
                                   ? c.begin
                                   : std::min(c.end, body.textEnd - (kTemplateReach - 1));

    const char* p = c.begin;
    while (p < c.end) {
        if (tmpl.size != 0 && p < tryEnd) {
            const char* const runEnd = Reading::run(tmpl, layout, p, tryEnd, samples);
            if (runEnd != p) {
                if (layout.decimalComma) {
                    if (tmpl.firstPoint >= 0 && c.firstPoint == nullptr)
                        c.firstPoint = p + tmpl.firstPoint;
                    if (tmpl.firstComma >= 0 && c.firstComma == nullptr)
                        c.firstComma = p + tmpl.firstComma;
                }
                hits += static_cast<std::size_t>(runEnd - p) / tmpl.size;
                p = runEnd;
                if (p >= c.end) break;
            }
        }
        {
            const char* next;
            const LineResult r =
                parsePlainLine(layout, p, c.end, next, fields, c, learn ? spans : nullptr);
            if (r == LineResult::Fault) break;
            // Learn this line's layout, unless layouts keep changing: then
            // learn ever more rarely, so that learning costs little.
            if (r == LineResult::Sample && learn && next[-1] == '\n' &&
                static_cast<std::size_t>(body.textEnd - p) >= kTemplateReach) {
                if (skipLearning > 0) {
                    --skipLearning;
                } else {
                    // Wasted: the last attempt led to no hits before this miss.
                    const bool wasted = attempted && hits == 0;
                    learnTemplate(tmpl, layout, p, static_cast<std::size_t>(next - p), spans);
                    attempted = true;
                    hits = 0;
                    backoff = wasted ? std::min(2 * backoff + 1, 255u) : 0;
                    skipLearning = backoff;
                }
            }
            p = next;
            if (r == LineResult::Sample) {
                if (samples.n == samples.room) {
                    c.overflow = true;
                    break;
                }
                storeSample(layout, fields, samples);
            }
        }
    }
    c.samples = samples.n;
    c.minStep = samples.minStep;
    c.maxStep = samples.maxStep;
}

// Reads one chunk by the body's reading (the wide one where the processor
// has AVX2 and the body asks for it).
void parseChunk(const Body& body, Chunk& c);
#if KORVEX_HAVE_AVX2
void parseChunkWide(const Body& body, Chunk& c);  // template_avx2.cpp
#endif

}  // namespace korvex::text
