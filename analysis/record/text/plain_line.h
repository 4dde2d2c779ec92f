// The plain line parser: field by field, the reference every fast path must
// reproduce exactly, and what a chunk of lines found. Inline, because the
// chunk loop calls it for every line no template reads.
#pragma once

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "analysis/record/text/fields.h"

namespace korvex::text {

inline constexpr double kNoStep[] = {std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity()};

// A stretch of whole lines, parsed by one thread into its own part of the
// sample arrays.
struct Chunk {
    const char* begin = nullptr;
    const char* end = nullptr;
    std::size_t offset = 0;  // where its samples go
    std::size_t lines = 0;   // lines that start in it: room for as many samples
    // What parsing found.
    std::size_t samples = 0;
    const char* faultAt = nullptr;  // the first fault, if any
    std::string fault;
    const char* firstPoint = nullptr;  // semicolon files: the first decimal mark of each kind
    const char* firstComma = nullptr;
    double minStep = kNoStep[0], maxStep = kNoStep[1];  // between its own samples
    bool overflow = false;                              // it holds more samples than `lines`
};

enum class LineResult { Sample, Skipped, Fault };

inline void noteMark(Chunk& c, const char* markAt) {
    if (markAt == nullptr) return;
    const char*& first = *markAt == ',' ? c.firstComma : c.firstPoint;
    if (first == nullptr) first = markAt;
}

// Reads the line at p the plain way, field by field, into out[0 .. fields).
// next is set to the start of the following line. With spans, each
// field's number, begin and end, goes into spans[2 f], spans[2 f + 1].
inline LineResult parsePlainLine(const Layout& layout, const char* p, const char* end,
                                 const char*& next, double* out, Chunk& c, const char** spans) {
    const char* nl =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    next = nl != nullptr ? nl + 1 : end;
    const char* lineEnd = nl != nullptr ? nl : end;
    if (lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
    const char* q = p;
    while (q < lineEnd && isBlank(*q)) ++q;
    if (q == lineEnd || *q == '#' || *q == '%') return LineResult::Skipped;

    const auto fault = [&c](const char* at, std::string reason) {
        c.faultAt = at;
        c.fault = std::move(reason);
        return LineResult::Fault;
    };
    const std::size_t fields = layout.fields;
    const auto shape = [&layout, fields] {
        return " (line " + std::to_string(layout.firstLine) + " has " + std::to_string(fields) +
               (fields == 1 ? " field)" : " fields)");
    };
    q = p;
    for (std::size_t f = 0; f < fields; ++f) {
        while (q < lineEnd && isPad(*q, layout)) ++q;
        const char* start = q;
        if (q == lineEnd || isSeparator(*q, layout))
            return fault(q, "field " + std::to_string(f + 1) + " is empty");
        double value;
        const char* markAt;
        const char* e = readNumber(q, lineEnd, layout.decimalComma, value, markAt);
        if (e == nullptr || (e < lineEnd && !isPad(*e, layout) && !isSeparator(*e, layout)))
            return fault(start, notANumber(layout, f, fieldText(layout, start, lineEnd)));
        if (!std::isfinite(value))
            return fault(start, notFinite(f, {start, std::size_t(e - start)}));
        out[f] = value;
        if (spans != nullptr) {
            spans[2 * f] = start;
            spans[2 * f + 1] = e;
        }
        noteMark(c, markAt);
        q = e;
        while (q < lineEnd && isPad(*q, layout)) ++q;
        if (f + 1 < fields) {
            if (q == lineEnd)
                return fault(q, "field " + std::to_string(f + 2) + " is missing" + shape());
            if (layout.separator == Separator::Blanks) continue;
            if (*q != layout.separatorChar)
                return fault(start, notANumber(layout, f, fieldText(layout, start, lineEnd)));
            ++q;
        } else if (q != lineEnd) {
            if (layout.separator != Separator::Blanks) {
                if (*q != layout.separatorChar)
                    return fault(start, notANumber(layout, f, fieldText(layout, start, lineEnd)));
                ++q;
                while (q < lineEnd && isPad(*q, layout)) ++q;
            }
            return fault(q, "extra field " + std::to_string(fields + 1) + shape());
        }
    }
    return LineResult::Sample;
}

}  // namespace korvex::text
