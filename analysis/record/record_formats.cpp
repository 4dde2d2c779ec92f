// Every format korvex reads, and reading a record by the one that claims it.
#include <cstdlib>
#include <cstring>

#include "analysis/record/input_bytes.h"
#include "analysis/record/record_format.h"
#include "analysis/record/text/columns.h"
#include "analysis/record/text/text_format.h"

namespace korvex {

namespace {

const text::TextFormat textFormat;

// The format whose sniff of the head is the most confident; the earlier
// one in the list where two are as confident.
const RecordFormat& formatFor(std::string_view head, const std::string& path) {
    const RecordFormat* best = nullptr;
    int confidence = 0;
    for (const RecordFormat* f : recordFormats()) {
        const Sniff s = f->sniff(head, path);
        if (s.verdict == Sniff::Verdict::Mine && (best == nullptr || s.confidence > confidence)) {
            best = f;
            confidence = s.confidence;
        }
    }
    if (best != nullptr) return *best;
    std::string formats;
    for (const RecordFormat* f : recordFormats())
        formats += (formats.empty() ? "" : ", ") + std::string(f->title());
    throw RecordError(RecordError::Kind::Input, path, 0, 0,
                      "not a record korvex reads: its first line holds NUL bytes (binary data, or "
                      "text in UTF-16); "
                      "korvex "
                      "reads " +
                          formats);
}

Record readBy(const RecordFormat& format, std::string_view bytes, const std::string& source,
              const ReadOptions& options) {
    Record record = format.read(RecordInput{source, bytes}, options);
    record.source = source;
    record.format = std::string(format.name());
    return record;
}

}  // namespace

std::span<const RecordFormat* const> recordFormats() {
    static const RecordFormat* const formats[] = {&textFormat};
    return formats;
}

Record readRecord(const std::string& path, const ReadOptions& options) {
    text::checkOptions(path, options);  // before reading what may be a large file
    InputBytes input(path);
    try {
        const RecordFormat& format = formatFor(input.head(kSniffBytes), path);
        Record record = readBy(format, input.all(), path, options);
        input.checkUnchanged();
        return record;
    } catch (...) {
        input.checkUnchanged();  // a file that changed: that, not what was made of it
        throw;
    }
}

Record parseRecord(std::string_view text, const std::string& source, const ReadOptions& options) {
    return readBy(formatFor(text.substr(0, kSniffBytes), source), text, source, options);
}

namespace detail {

ReadPath readPathFromEnvironment() {
    const char* forced = std::getenv("KORVEX_READ_PATH");
    if (forced != nullptr && std::strcmp(forced, "plain") == 0) return ReadPath::Plain;
    if (forced != nullptr && std::strcmp(forced, "templates") == 0) return ReadPath::Templates;
    return ReadPath::WideTemplates;
}

Record parseRecordBy(std::string_view text, const std::string& source, const ReadOptions& options,
                     ReadPath path) {
    Record record;
    record.source = source;
    record.format = "text";
    record.channels.push_back(text::readTextChannel(text, source, options, path, record.notes));
    return record;
}

}  // namespace detail

}  // namespace korvex
