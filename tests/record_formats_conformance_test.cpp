// Every registered format over the same record: two channels at 51.2 kHz,
// written in each format's own way, read back alike; the same choices and
// the same kinds of errors.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "analysis/record/format_choice.h"
#include "format_fixtures.h"

namespace korvex {
namespace {

using fixtures::Series;

std::vector<Series> common() {
    Series a{"a", "V", 0.0, 1.0 / 51200, {}};
    Series b{"b", "g", 0.0, 1.0 / 51200, {}};
    for (int i = 0; i < 8; ++i) {
        a.values.push_back(i / 16.0);
        b.values.push_back(-i / 32.0);
    }
    return {a, b};
}

struct Case {
    std::string bytes;
    FormatOptions options;  // what the format needs to time the record
    bool namesAndUnits = true;
    bool lines = true;         // errors point at a line
    int confidence = 100;      // how sure the format is of its own files
    std::string second = "2";  // the choice of the second channel alone
    std::string ninth = "9";   // a choice of a channel past the last
};

// Text by its fields: "t,a,b" over the times and both channels.
std::string textFile() {
    const std::vector<Series> c = common();
    std::string out = "t,a,b\n";
    for (std::size_t i = 0; i < c[0].values.size(); ++i) {
        out += fixtures::number(static_cast<double>(i) * c[0].intervalS) + "," +
               fixtures::number(c[0].values[i]) + "," + fixtures::number(c[1].values[i]) + "\n";
    }
    return out;
}

const std::map<std::string, std::function<Case()>, std::less<>> kWriters = {
    {"lvm",
     [] {
         return Case{fixtures::lvmFile({common()}), {}};
     }},
    {"scope-csv",
     [] {
         return Case{fixtures::scopeCsvWithIncrement(common()), {}};
     }},
    {"mat",
     [] {
         const std::vector<Series> c = common();
         FormatOptions o;
         o.rateVariable = "fs";
         return Case{
             fixtures::matFile(
                 {{"a", 8, 1, c[0].values}, {"b", 8, 1, c[1].values}, {"fs", 1, 1, {51200}}}),
             o, false, false};
     }},
    {"text",
     [] {
         // A single column keeps the text format's own older words; a list
         // is worded as every format words it.
         FormatOptions o;
         o.channels = "all";
         return Case{textFile(), o, false, true, 10, "3", "2,9"};
     }},
    {"wav",
     [] {
         return Case{fixtures::wavFile({common()[0].values, common()[1].values}, 51200, 16),
                     {},
                     false,
                     false};
     }},
};

std::string pathFor(const RecordFormat& f) {
    return "case." + std::string(f.patterns().front()).substr(2);
}

TEST(RecordFormats, EachReadsTheCommonRecordAlike) {
    for (const RecordFormat* f : recordFormats()) {
        const auto writer = kWriters.find(f->name());
        if (writer == kWriters.end()) continue;  // a format these fixtures cannot write
        SCOPED_TRACE(std::string(f->name()));
        const Case c = writer->second();
        const RecordInput input{pathFor(*f), c.bytes};
        EXPECT_EQ(f->sniff(c.bytes, input.path).confidence, c.confidence);
        EXPECT_EQ(&chooseRecordFormat(input, recordFormats()), f);
        const Record r = fixtures::read(*f, c.bytes, c.options, input.path);
        EXPECT_EQ(r.format, f->name());
        ASSERT_EQ(r.channels.size(), 2u);
        const std::vector<Series> expected = common();
        for (std::size_t k = 0; k < 2; ++k) {
            const Series& s = expected[k];
            if (c.namesAndUnits) {
                EXPECT_EQ(r.channels[k].name, s.name);
                EXPECT_EQ(r.channels[k].unit, s.unit);
            }
            EXPECT_DOUBLE_EQ(r.channels[k].intervalS, s.intervalS);
            EXPECT_EQ(std::vector<double>(r.channels[k].values.begin(), r.channels[k].values.end()),
                      s.values);
        }
        FormatOptions second = c.options;
        second.channels = c.second;
        const Record b = fixtures::read(*f, c.bytes, second, input.path);
        ASSERT_EQ(b.channels.size(), 1u);
        EXPECT_EQ(b.channels[0].values[7], -7 / 32.0);
    }
}

TEST(RecordFormats, EachRefusesBadChoicesAndCutFilesAsInputErrors) {
    for (const RecordFormat* f : recordFormats()) {
        const auto writer = kWriters.find(f->name());
        if (writer == kWriters.end()) continue;
        SCOPED_TRACE(std::string(f->name()));
        const Case c = writer->second();
        FormatOptions ninth = c.options;
        ninth.channels = c.ninth;
        const std::string error = fixtures::errorOf(*f, c.bytes, ninth, pathFor(*f));
        // "FILE:LINE: reason" for text, "FILE: reason" for binary formats.
        const std::string file = "input: " + pathFor(*f) + ":";
        ASSERT_EQ(error.rfind(file, 0), 0u) << error;
        const std::size_t digits = error.find_first_not_of("0123456789", file.size()) - file.size();
        EXPECT_EQ(digits > 0, c.lines) << error;
        EXPECT_EQ(error.substr(file.size() + digits)
                      .rfind(std::string(digits ? ":" : "") + " channel \"9\" is past the last", 0),
                  0u)
            << error;
        // Cut anywhere: refused as input, or read with no more samples than written.
        for (std::size_t at = 0; at < c.bytes.size(); at += 1 + c.bytes.size() / 97) {
            try {
                const Record r = fixtures::read(*f, c.bytes.substr(0, at), c.options, pathFor(*f));
                EXPECT_LE(r.channels.at(0).size(), 8u) << at;
            } catch (const RecordError& e) {
                EXPECT_EQ(e.kind(), RecordError::Kind::Input) << at << ": " << e.what();
            }
        }
    }
}

// A list of text columns is each column as read alone.
TEST(RecordFormats, TextColumnListsAreTheSingleColumnsRead) {
    for (const RecordFormat* f : recordFormats()) {
        if (f->name() != "text") continue;
        FormatOptions both, a, b;
        both.channels = "3,2";
        a.channels = "2";
        b.channels = "3";
        const std::string bytes = textFile();
        const Record r = fixtures::read(*f, bytes, both, "case.txt");
        ASSERT_EQ(r.channels.size(), 2u);
        for (const auto& [k, one] : {std::pair{0, b}, std::pair{1, a}}) {
            const Channel alone = fixtures::read(*f, bytes, one, "case.txt").channels.at(0);
            const Channel& listed = r.channels[static_cast<std::size_t>(k)];
            EXPECT_EQ(listed.name, alone.name);
            EXPECT_EQ(listed.intervalS, alone.intervalS);
            EXPECT_EQ(std::vector<double>(listed.values.begin(), listed.values.end()),
                      std::vector<double>(alone.values.begin(), alone.values.end()));
        }
    }
}

TEST(RecordFormats, NoFormatClaimsAnothersFilesAndBinaryIsRefusedAtOnce) {
    for (const auto& [name, writer] : kWriters) {
        const Case c = writer();
        for (const RecordFormat* f : recordFormats()) {
            if (f->name() != name) {
                EXPECT_LT(f->sniff(c.bytes, "-").confidence, 100) << f->name() << " on " << name;
            }
        }
    }
    const std::string binary(
        "\x7F"
        "ELF\x02\x01\x01\0\0\0",
        10);
    try {
        chooseRecordFormat({"a.bin", binary}, recordFormats());
        ADD_FAILURE() << "binary bytes were taken";
    } catch (const RecordError& e) {
        EXPECT_EQ(e.kind(), RecordError::Kind::Input);
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("a.bin: not a record korvex reads: a NUL byte at byte 8", 0), 0u)
            << what;
        for (const RecordFormat* f : recordFormats())
            EXPECT_NE(what.find(f->title()), std::string::npos);
    }
}

}  // namespace
}  // namespace korvex
