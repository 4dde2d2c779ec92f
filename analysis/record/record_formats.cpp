// Every format korvex reads, and reading a record by the one that claims it.
#include <cstdlib>
#include <cstring>

#include "analysis/record/format_choice.h"
#include "analysis/record/formats/lvm_format.h"
#include "analysis/record/formats/mat_format.h"
#include "analysis/record/formats/scope_csv_format.h"
#include "analysis/record/formats/wav_format.h"
#include "analysis/record/input_bytes.h"
#include "analysis/record/record_format.h"
#include "analysis/record/text/columns.h"
#include "analysis/record/text/text_format.h"

namespace korvex {

namespace {

const text::TextFormat textFormat;

Record readBy(const RecordFormat& format, std::string_view bytes, const std::string& source,
              const ReadOptions& options) {
    Record record = format.read(RecordInput{source, bytes}, options);
    record.source = source;
    record.format = std::string(format.name());
    return record;
}

}  // namespace

std::span<const RecordFormat* const> recordFormats() {
    static const LvmFormat lvm;
    static const ScopeCsvFormat scopeCsv;
    static const MatFormat mat;
    static const WavFormat wav;
    static const RecordFormat* const formats[] = {&textFormat, &lvm, &scopeCsv, &mat, &wav};
    return formats;
}

Record readRecord(const std::string& path, const ReadOptions& options) {
    text::checkOptions(path, options);  // before reading what may be a large file
    InputBytes input(path);
    try {
        const RecordFormat& format =
            chooseRecordFormat(RecordInput{path, input.head(kSniffBytes)}, recordFormats());
        Record record = readBy(format, input.all(), path, options);
        input.checkUnchanged();
        return record;
    } catch (...) {
        input.checkUnchanged();  // a file that changed: that, not what was made of it
        throw;
    }
}

Record parseRecord(std::string_view text, const std::string& source, const ReadOptions& options) {
    return readBy(chooseRecordFormat(RecordInput{source, text}, recordFormats()), text, source,
                  options);
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
