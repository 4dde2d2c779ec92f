// libFuzzer entry for the record reader: every input is read by each path
// (plain, templates, wide templates) on one and on three threads, under
// settings taken from its first byte, and every outcome must match the
// plain path's to the bit or to the letter of its error.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <string_view>

#include "analysis/record_reader.h"

namespace {

using korvex::ReadOptions;
using korvex::detail::ReadPath;

std::string outcome(std::string_view text, const ReadOptions& options, ReadPath path) {
    try {
        const korvex::Record record = korvex::detail::parseRecordBy(text, "f", options, path);
        std::string s = record.format;
        for (const korvex::Channel& c : record.channels) {
            s += '|' + c.name + '|' + c.unit + '|';
            const auto bits = [&s](double x) {
                std::uint64_t u;
                std::memcpy(&u, &x, sizeof u);
                s += std::to_string(u) + ',';
            };
            bits(c.startS);
            bits(c.intervalS);
            for (double t : c.time) bits(t);
            s += ';';
            for (double v : c.values) bits(v);
        }
        return s;
    } catch (const korvex::RecordError& e) {
        return std::string("error ") + e.what();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
}

ReadOptions optionsFrom(std::uint8_t b) {
    ReadOptions o;
    switch (b % 4) {
        case 1:
            o.timeColumn = "none";
            o.rateHz = 1000.0;
            break;
        case 2:
            o.valueColumn = "3";
            break;
        case 3:
            o.timeUnit = korvex::RecordTimeUnit::Milliseconds;
            break;
        default:
            break;
    }
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const ReadOptions base = optionsFrom(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ReadOptions one = base;
    one.threads = 1;
    const std::string plain = outcome(text, one, ReadPath::Plain);
    for (ReadPath path : {ReadPath::Templates, ReadPath::WideTemplates}) {
        for (unsigned threads : {1u, 3u}) {
            ReadOptions o = base;
            o.threads = threads;
            if (outcome(text, o, path) != plain) {
                std::cerr << "read paths differ (path " << static_cast<int>(path) << ", " << threads
                          << " threads)\n";
                std::abort();
            }
        }
    }
    return 0;
}
