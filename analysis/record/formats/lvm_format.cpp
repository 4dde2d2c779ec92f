// Reads LabVIEW measurement files as NI describes the format in its public
// tutorial 4139 on the LabVIEW Measurement File, https://www.ni.com/tutorial/4139/en/.
// Times come from each channel's X0 and Delta_X where the header gives them:
// LabVIEW prints the X column to six decimals, too coarse for fast rates.
#include "analysis/record/formats/lvm_format.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "analysis/record/channel_choice.h"
#include "analysis/record/formats/lvm_header.h"

namespace korvex {

using namespace formats;

namespace {

// Where one chosen channel's samples go while its segment's lines are read.
struct Column {
    SampleArray* sink = nullptr;
    bool ended = false;
};

struct SegmentChoice {
    std::size_t wanted = 1;  // from 1; 0 for every segment
};

SegmentChoice segmentChoice(const RecordInput& input, const std::string& text) {
    if (text.empty()) return {1};
    if (text == "all") return {0};
    std::size_t n = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), n);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || n == 0) {
        inputError(input, 0, 0,
                   "segment " + inQuotes(text) + " is neither a number from 1 nor all");
    }
    return {n};
}

// With X_Columns No, LabVIEW may still write an empty X column (its names
// line then starts with X_Value).
std::size_t dataColumnOf(std::size_t k, LvmXColumns x, bool xValueColumn) {
    return x == LvmXColumns::Multi ? 2 * k + 1 : x == LvmXColumns::One || xValueColumn ? k + 1 : k;
}

std::size_t xColumnOf(std::size_t k, LvmXColumns x) {
    return x == LvmXColumns::One ? 0 : 2 * k;  // none with X_Columns No
}

class SegmentReader {
  public:
    SegmentReader(const RecordInput& input, const LvmFileHeader& file, const FormatOptions& options)
        : input_(input), file_(file), options_(options) {}

    // Reads the data lines of one segment from `cursor`, into `record` if
    // `keep`; stops before the next segment's header or after a blank line.
    void read(LineCursor& cursor, const LvmSegmentHeader& header, std::size_t segment, bool keep,
              Record& record);

  private:
    void setUp(const LvmSegmentHeader& header, std::size_t segment, std::size_t firstFields,
               Record& record);
    void readLine(const TextLine& line);
    void finish(const LvmSegmentHeader& header, Record& record, std::size_t first);

    const RecordInput& input_;
    const LvmFileHeader& file_;
    const FormatOptions& options_;
    std::vector<Column> columns_;
    std::vector<std::size_t> chosen_;  // the segment's channels being read
    std::vector<int> slotOfField_;     // -1: not read
    std::vector<std::string_view> fields_;
};

void SegmentReader::read(LineCursor& cursor, const LvmSegmentHeader& header, std::size_t segment,
                         bool keep, Record& record) {
    TextLine line;
    const std::size_t first = record.channels.size();
    bool started = false;
    while (true) {
        LineCursor before = cursor;
        if (!cursor.next(line)) break;
        if (line.text.empty()) break;
        if (startsLvmSegmentHeader(line.text, file_)) {
            cursor = before;
            break;
        }
        if (!keep) continue;
        if (!started) {
            splitFields(line.text, file_.separator, fields_);
            setUp(header, segment, fields_.size(), record);
            started = true;
        }
        readLine(line);
    }
    if (keep && !started) {
        inputError(input_, header.namesLine ? header.namesLine : header.firstLine, 0,
                   "the segment that starts on line " + std::to_string(header.firstLine) +
                       " holds no samples");
    }
    if (keep) finish(header, record, first);
}

void SegmentReader::setUp(const LvmSegmentHeader& header, std::size_t segment,
                          std::size_t firstFields, Record& record) {
    std::size_t n = header.channelCount.value_or(header.channels.size());
    if (n == 0) n = header.names.size();
    if (n == 0) {  // no header at all: every column but the X columns
        n = file_.xColumns == LvmXColumns::Multi                        ? firstFields / 2
            : file_.xColumns == LvmXColumns::One || header.xValueColumn ? firstFields - 1
                                                                        : firstFields;
    }
    std::vector<std::string> names(n);
    for (std::size_t k = 0; k < n; ++k) {
        names[k] = k < header.names.size() && !header.names[k].empty()
                       ? header.names[k]
                       : "Channel " + std::to_string(k + 1);
    }
    std::vector<std::size_t>& chosen = chosen_;
    try {
        chosen = chooseChannels(options_.channels, names);
    } catch (const ChannelChoiceError& e) {
        inputError(input_, header.namesLine, 0, e.what());
    }
    columns_.clear();
    slotOfField_.assign(2 * n + 1, -1);
    const std::size_t base = record.channels.size();
    record.channels.resize(base + chosen.size());
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const std::size_t k = chosen[i];
        Channel& c = record.channels[base + i];
        c.name = segment > 1 ? names[k] + " (segment " + std::to_string(segment) + ")" : names[k];
        const std::size_t reserve =
            k < header.channels.size() ? header.channels[k].samples.value_or(0) : 0;
        c.values.reserve(reserve);
        slotOfField_[dataColumnOf(k, file_.xColumns, header.xValueColumn)] =
            static_cast<int>(columns_.size());
        columns_.push_back({&c.values});
        const bool timed = k < header.channels.size() && header.channels[k].deltaX;
        const std::size_t x = xColumnOf(k, file_.xColumns);
        // One X column serves every channel: read once, copied at the end.
        if (!timed && file_.xColumns != LvmXColumns::No && slotOfField_[x] < 0) {
            c.time.reserve(reserve);
            slotOfField_[x] = static_cast<int>(columns_.size());
            columns_.push_back({&c.time});
        }
    }
}

void SegmentReader::readLine(const TextLine& line) {
    const char* p = line.text.data();
    const char* const end = p + line.text.size();
    const std::size_t fields = slotOfField_.size();
    std::size_t f = 0;
    for (; f < fields; ++f) {
        const char* q = static_cast<const char*>(std::memchr(p, file_.separator, end - p));
        if (q == nullptr) q = end;
        const int slot = slotOfField_[f];
        if (slot >= 0) {
            Column& c = columns_[slot];
            if (q == p) {
                c.ended = true;  // a short channel: its cells stay empty
            } else {
                double v = 0;
                const std::string_view field(p, q - p);
                if (!readNumber(field, file_.decimal, v)) {
                    inputError(
                        input_, line.number, columnOf(line.text, field),
                        "field " + std::to_string(f + 1) + " is not a number: " + inQuotes(field));
                }
                if (c.ended) {
                    inputError(input_, line.number, columnOf(line.text, field),
                               "field " + std::to_string(f + 1) +
                                   " holds a value after an empty cell of the same column");
                }
                c.sink->push_back(v);
            }
        }
        if (q == end) break;
        p = q + 1;
    }
    for (++f; f < fields; ++f) {  // a line cut short: the rest of its cells are empty
        if (slotOfField_[f] >= 0) columns_[slotOfField_[f]].ended = true;
    }
}

void SegmentReader::finish(const LvmSegmentHeader& header, Record& record, std::size_t first) {
    const SampleArray* shared = nullptr;  // the one X column, with X_Columns One
    for (std::size_t i = first; i < record.channels.size() && file_.xColumns == LvmXColumns::One;
         ++i) {
        if (!record.channels[i].time.empty()) shared = &record.channels[i].time;
    }
    for (std::size_t i = first; i < record.channels.size(); ++i) {
        Channel& c = record.channels[i];
        const std::size_t k = chosen_[i - first];
        const LvmChannelHeader h =
            k < header.channels.size() ? header.channels[k] : LvmChannelHeader{};
        if (h.samples && *h.samples != c.values.size()) {
            inputError(input_, h.samplesCell.line, h.samplesCell.column,
                       "Samples gives " + std::to_string(*h.samples) + " for channel " +
                           inQuotes(c.name) + " but the segment holds " +
                           std::to_string(c.values.size()));
        }
        if (!h.xDimension.empty() && h.xDimension != "Time") {
            inputError(input_, h.xDimensionCell.line, h.xDimensionCell.column,
                       "channel " + inQuotes(c.name) + " is not a time history (X_Dimension " +
                           h.xDimension + ")");
        }
        c.unit = options_.unitLabel.empty() ? h.unit : options_.unitLabel;
        if (h.deltaX) {
            c.startS = h.x0.value_or(0.0);
            c.intervalS = *h.deltaX;
        } else if (!c.time.empty() || (shared != nullptr && !shared->empty())) {
            if (c.time.empty()) c.time = *shared;
            // The X column runs as long as the longest channel.
            if (file_.xColumns == LvmXColumns::One)
                c.time.resize(std::min(c.time.size(), c.values.size()));
            if (c.time.size() != c.values.size()) {
                inputError(input_, header.firstLine, 0,
                           "channel " + inQuotes(c.name) + " has " +
                               std::to_string(c.values.size()) + " values but " +
                               std::to_string(c.time.size()) + " times");
            }
            c.startS = c.time.front();
            c.intervalS = c.time.size() > 1 ? (c.time.back() - c.time.front()) /
                                                  static_cast<double>(c.time.size() - 1)
                                            : 0.0;
        } else if (options_.rateHz && *options_.rateHz > 0) {
            c.intervalS = 1.0 / *options_.rateHz;
        } else {
            inputError(input_, header.firstLine, 0,
                       "channel " + inQuotes(c.name) +
                           " has neither Delta_X nor an X column: give the sample rate");
        }
    }
    // Channels with no samples (LabVIEW writes empty columns) are left out
    // unless asked for by name or number.
    const bool everything = options_.channels.empty() || options_.channels == "all";
    const auto empty = std::stable_partition(
        record.channels.begin() + static_cast<std::ptrdiff_t>(first), record.channels.end(),
        [](const Channel& c) { return !c.values.empty(); });
    for (auto c = empty; c != record.channels.end(); ++c) {
        if (!everything) {
            inputError(input_, header.namesLine, 0,
                       "channel " + inQuotes(c->name) + " holds no samples");
        }
        record.notes.push_back("channel " + c->name + " holds no samples; left out");
    }
    record.channels.erase(empty, record.channels.end());
}

}  // namespace

Sniff LvmFormat::sniff(std::string_view head, std::string_view path) const {
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    if (head.starts_with("LabVIEW Measurement")) {
        return Sniff::mine(100, {ReadSetting::ValueColumn, ReadSetting::Segment});
    }
    return path.ends_with(".lvm") ? Sniff::mine(1) : Sniff::notMine();
}

Record LvmFormat::read(const RecordInput& input, const ReadOptions&,
                       const FormatOptions& options) const {
    LineCursor cursor(input.bytes);
    const LvmFileHeader file = readLvmFileHeader(input, cursor);
    const SegmentChoice choice = segmentChoice(input, options.segment);
    Record record;
    record.source = input.path;
    record.format = std::string(name());
    SegmentReader reader(input, file, options);
    LvmSegmentHeader header;
    std::size_t segment = 0;
    TextLine line;
    while (true) {
        LineCursor before = cursor;
        if (!cursor.next(line)) break;
        if (line.text.empty() ||
            line.text.find_first_not_of(file.separator) == std::string_view::npos) {
            continue;
        }
        if (line.text.starts_with("***Start_Special***")) {
            while (cursor.next(line) && !line.text.starts_with("***End_Special***")) {
            }
            continue;
        }
        if (startsLvmSegmentHeader(line.text, file)) {
            header = readLvmSegmentHeader(input, cursor, line, file);
        } else {
            cursor = before;  // data without a header of its own: the last header holds,
            header.firstLine = line.number;
            for (LvmChannelHeader& c : header.channels) c.samples.reset();  // but not its counts
        }
        ++segment;
        const bool keep = choice.wanted == 0 || choice.wanted == segment;
        reader.read(cursor, header, segment, keep, record);
        if (choice.wanted == segment) break;
    }
    if (segment == 0) inputError(input, cursor.nextNumber() - 1, 0, "the file holds no segment");
    if (choice.wanted > segment) {
        inputError(input, 0, 0,
                   "segment " + std::to_string(choice.wanted) + " asked for, but the file holds " +
                       std::to_string(segment));
    }
    if (record.channels.empty()) inputError(input, 0, 0, "no channel of the file holds samples");
    return record;
}

}  // namespace korvex
