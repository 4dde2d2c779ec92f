#include "analysis/record/text/text_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "analysis/record/channel_choice.h"
#include "analysis/record/interval_check.h"
#include "analysis/record/text/columns.h"
#include "analysis/record/text/layout_peek.h"
#include "analysis/record/text/text_chunks.h"

namespace korvex::text {

namespace {

// Finds the sample's line again after parsing: the index-th line that is
// not blank or a comment, from `begin`.
const char* lineOfSample(const char* begin, const char* end, std::size_t index) {
    const char* p = begin;
    while (p < end) {
        const char* q = p;
        while (q < end && isBlank(*q)) ++q;
        const bool skipped = q == end || *q == '\n' || *q == '#' || *q == '%' ||
                             (*q == '\r' && (q + 1 == end || q[1] == '\n'));
        if (!skipped && index-- == 0) return p;
        const char* nl =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        p = nl != nullptr ? nl + 1 : end;
    }
    return end;
}

// The time field's text in the line of sample `index`.
std::string_view timeText(const Layout& layout, const char* bodyBegin, const char* textEnd,
                          std::size_t index) {
    std::vector<const char*> spans(2 * layout.fields);
    std::vector<double> scratch(layout.fields);
    Chunk scratchChunk;
    const char* next;
    parsePlainLine(layout, lineOfSample(bodyBegin, textEnd, index), textEnd, next, scratch.data(),
                   scratchChunk, spans.data());
    const char* at = spans[2 * layout.timeField];
    return {at, static_cast<std::size_t>(spans[2 * layout.timeField + 1] - at)};
}

// A unit in the last printed digit of a number's text, as a power of ten.
int lastDigitPower(std::string_view number) {
    std::size_t i = 0;
    int fraction = 0;
    while (i < number.size() && number[i] != '.' && number[i] != ',' && number[i] != 'e' &&
           number[i] != 'E')
        ++i;
    if (i < number.size() && (number[i] == '.' || number[i] == ',')) {
        for (++i; i < number.size() && isDigit(number[i]); ++i) ++fraction;
    }
    int exponent = 0;
    if (i + 1 < number.size() && (number[i] == 'e' || number[i] == 'E'))
        std::from_chars(number.data() + i + (number[i + 1] == '+' ? 2 : 1),
                        number.data() + number.size(), exponent);
    return exponent - fraction;
}

// The coarsest unit of the last printed digit of the time column, in
// seconds: the rounding every time may carry.
double printedResolution(const Layout& layout, const char* bodyBegin, const char* textEnd) {
    std::vector<const char*> spans(2 * layout.fields);
    std::vector<double> scratch(layout.fields);
    Chunk scratchChunk;
    int power = std::numeric_limits<int>::min();
    for (const char* p = bodyBegin; p < textEnd;) {
        const char* next;
        if (parsePlainLine(layout, p, textEnd, next, scratch.data(), scratchChunk, spans.data()) ==
            LineResult::Sample) {
            const char* at = spans[2 * layout.timeField];
            power = std::max(
                power, lastDigitPower(
                           {at, static_cast<std::size_t>(spans[2 * layout.timeField + 1] - at)}));
        }
        p = next;
    }
    return std::pow(10.0, power) * layout.timeScale;
}

// The first fault of the pieces, in the text's order; in a semicolon file
// also the first decimal mark of the other kind than the first one.
void failAtFirstFault(const Source& src, std::vector<Chunk>& chunks) {
    const char* faultAt = nullptr;
    std::string fault;
    const char* firstPoint = nullptr;
    const char* firstComma = nullptr;
    for (Chunk& c : chunks) {
        if (firstPoint == nullptr) firstPoint = c.firstPoint;
        if (firstComma == nullptr) firstComma = c.firstComma;
        if (c.faultAt != nullptr && faultAt == nullptr) {
            faultAt = c.faultAt;
            fault = std::move(c.fault);
        }
    }
    if (firstPoint != nullptr && firstComma != nullptr) {
        const char* other = std::max(firstPoint, firstComma);
        if (faultAt == nullptr || other < faultAt) {
            const char* before = std::min(firstPoint, firstComma);
            faultAt = other;
            fault = std::string(*other == ',' ? "decimal comma" : "decimal point") + ", but line " +
                    std::to_string(src.lineOf(before)) + " has a " +
                    (*before == ',' ? "decimal comma" : "decimal point") +
                    ": one file, one decimal mark";
        }
    }
    if (faultAt != nullptr) src.fail(faultAt, std::move(fault));
}

}  // namespace

std::vector<std::string_view> TextFormat::patterns() const {
    return {"*.txt", "*.csv", "*.tsv", "*.dat"};
}

Sniff TextFormat::sniff(std::string_view head, std::string_view) const {
    if (head.substr(0, head.find('\n')).find('\0') != std::string_view::npos)
        return Sniff::notMine();
    return Sniff::mine(10, peekTextLayout(head).open);
}

namespace {

// The value columns a list asks for ("2,3", "3-5", "all", names), counted
// from 0, or none when the choice is one column as it always was (read as
// before, with its own messages). "all" leaves out the time column.
std::vector<std::size_t> listedColumns(std::string_view input, const std::string& source,
                                       const ReadOptions& options) {
    const std::string& choice = options.valueColumn;
    const std::size_t dash = choice.find('-');
    const bool range =
        dash != std::string::npos && dash > 0 && dash + 1 < choice.size() &&
        std::all_of(choice.begin(), choice.end(), [](char c) { return isDigit(c) || c == '-'; });
    if (choice != "all" && choice.find(',') == std::string::npos && !range) return {};
    Source src{input, input.data(), &source};
    if (src.text.size() >= 3 && std::memcmp(src.text.data(), "\xEF\xBB\xBF", 3) == 0)
        src.text.remove_prefix(3);
    if (src.text.empty()) return {};
    const FirstLine first = readFirstLine(src);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < first.layout.fields; ++i) {
        names.push_back(first.header && i < first.fields.size() ? std::string(first.fields[i].text)
                                                                : std::to_string(i + 1));
    }
    std::size_t timeField = kNone;
    const std::string& t = options.timeColumn;
    if (t.empty()) {
        timeField = 0;
    } else if (t != "none" && std::all_of(t.begin(), t.end(), isDigit) && t.size() < 9) {
        timeField = static_cast<std::size_t>(std::stoul(t)) - 1;
    } else if (t != "none") {
        timeField =
            static_cast<std::size_t>(std::find(names.begin(), names.end(), t) - names.begin());
    }
    std::vector<std::size_t> chosen;
    try {
        chosen = chooseChannels(choice, names);
    } catch (const ChannelChoiceError& e) {
        src.failLine(first.layout.firstLine, e.what(), ReadSetting::ValueColumn);
    }
    if (choice == "all") std::erase(chosen, timeField);
    if (chosen.empty())
        src.failWhole("no value column besides the time column", ReadSetting::ValueColumn);
    return chosen;
}

}  // namespace

Record TextFormat::read(const RecordInput& input, const ReadOptions& options) const {
    Record record;
    record.source = input.path;
    record.format = std::string(name());
    const detail::ReadPath path = detail::readPathFromEnvironment();
    const std::vector<std::size_t> columns = listedColumns(input.bytes, input.path, options);
    if (columns.empty()) {
        record.channels.push_back(
            readTextChannel(input.bytes, input.path, options, path, record.notes));
        return record;
    }
    // One column at a time by the one-column reader, so every column takes
    // the proven fast paths; each note is told once.
    for (std::size_t column : columns) {
        ReadOptions one = options;
        one.valueColumn = std::to_string(column + 1);
        std::vector<std::string> notes;
        record.channels.push_back(readTextChannel(input.bytes, input.path, one, path, notes));
        for (std::string& n : notes) {
            if (std::find(record.notes.begin(), record.notes.end(), n) == record.notes.end())
                record.notes.push_back(std::move(n));
        }
    }
    return record;
}

Channel readTextChannel(std::string_view input, const std::string& source,
                        const ReadOptions& options, detail::ReadPath path,
                        std::vector<std::string>& notes) {
    checkOptions(source, options);
    Source src{input, input.data(), &source};
    if (src.text.size() >= 3 && std::memcmp(src.text.data(), "\xEF\xBB\xBF", 3) == 0)
        src.text.remove_prefix(3);
    const char* const textEnd = src.text.data() + src.text.size();
    if (src.text.empty()) src.failWhole("the file is empty");

    const FirstLine first = readFirstLine(src);
    Layout layout = first.layout;
    Channel record;
    record.name = pickColumns(src, first, options, layout);
    const bool timed = layout.timeField != kNone;
    const char* const bodyBegin = first.header ? first.after : first.begin;
    std::vector<Chunk> chunks = readChunks(layout, bodyBegin, textEnd, options, path, record);
    failAtFirstFault(src, chunks);
    const std::size_t n = record.values.size();
    if (n == 0) src.failWhole(first.header ? "no samples after the header line" : "no samples");
    if (n == 1) src.failWhole("only one sample: a record needs at least two");

    if (!timed) {
        record.startS = 0.0;
        record.intervalS = 1.0 / *options.rateHz;
        return record;
    }
    const SampleArray& t = record.time;
    record.startS = t[0];
    record.intervalS = intervalOf(t);
    if (!std::isfinite(record.intervalS)) {
        const std::string_view last = timeText(layout, bodyBegin, textEnd, n - 1);
        src.fail(last.data(), spanOverflowReason(timeText(layout, bodyBegin, textEnd, 0), last));
    }
    // The steps within each piece are known; add those across the joins.
    double minStep = kNoStep[0], maxStep = kNoStep[1];
    std::size_t start = 0;
    for (const Chunk& c : chunks) {
        minStep = std::min(minStep, c.minStep);
        maxStep = std::max(maxStep, c.maxStep);
        if (start > 0 && c.samples > 0) {
            minStep = std::min(minStep, t[start] - t[start - 1]);
            maxStep = std::max(maxStep, t[start] - t[start - 1]);
        }
        start += c.samples;
    }
    std::size_t i = firstBadStep(t, record.intervalS, minStep, maxStep);
    if (i != kNoBadStep) {
        // Steps that vary only by the times' printed rounding.
        const double resolution = printedResolution(layout, bodyBegin, textEnd);
        const double slope = slopeWithinRounding(t, resolution);
        if (slope > 0) {
            record.intervalS = slope;
            notes.push_back(roundedTimesNote(resolution, slope));
            return record;
        }
        // Point at a step that rounding does not explain, where there is one.
        const std::size_t beyond = firstStepBeyond(t, record.intervalS, resolution);
        if (beyond != kNoBadStep) i = beyond;
        const std::string_view now = timeText(layout, bodyBegin, textEnd, i);
        src.fail(now.data(), badStepReason(t[i] - t[i - 1], record.intervalS,
                                           timeText(layout, bodyBegin, textEnd, i - 1), now));
    }
    return record;
}

}  // namespace korvex::text
