// The reader's input and its choice of format: files that change while they
// are read, input that is no record, the read-path switch, and the layout
// peek the window asks before reading.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/record/input_bytes.h"
#include "analysis/record/text/layout_peek.h"
#include "analysis/record_reader.h"

namespace korvex {
namespace {

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("korvex_record_input_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

// korvex's own lines: 33 bytes, a sample every microsecond.
void writeRecord(const std::string& path, int lines) {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < lines; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "  %13.6e \t  %10.4e \r\n", i * 1e-6, (i % 7) * 0.5);
        out << line;
    }
}

std::uintmax_t cutTo = 0;
void cutFile(const std::string& path) {
    std::filesystem::resize_file(path == "-" ? tempPath("shrinks.txt") : path, cutTo);
}

// Read from its path or as redirected standard input, a file cut short
// between mapping and reading (before the first 64 KiB, or inside the
// lines the threads read) ends in an error, never a bus error.
TEST(RecordInput, AFileThatShrinksWhileItIsReadIsAnError) {
    const std::string path = tempPath("shrinks.txt");
    for (const std::uintmax_t size : {std::uintmax_t{1000}, std::uintmax_t{1} << 20}) {
        for (const std::string& given : {path, std::string("-")}) {
            SCOPED_TRACE(given + " cut to " + std::to_string(size));
            writeRecord(path, 200000);
            cutTo = size;
            int savedStdin = -1;
            if (given == "-") {
                savedStdin = ::dup(0);
                const int fd = ::open(path.c_str(), O_RDONLY);
                ASSERT_GE(fd, 0);
                ::dup2(fd, 0);
                ::close(fd);
            }
            detail::setInputSeam(cutFile);
            ReadOptions options;
            options.threads = 2;
            std::string what = "no error";
            RecordError::Kind kind = RecordError::Kind::Input;
            try {
                readRecord(given, options);
            } catch (const RecordError& e) {
                what = e.what();
                kind = e.kind();
            }
            detail::setInputSeam(nullptr);
            if (savedStdin >= 0) {
                ::dup2(savedStdin, 0);
                ::close(savedStdin);
            }
            EXPECT_EQ(kind, RecordError::Kind::Unreadable);
            EXPECT_EQ(what, (given == "-" ? "standard input" : given) +
                                ": the file changed size while it was read");
        }
    }
    std::filesystem::remove(path);
}

// Input that starts with NUL bytes is no text record: refused from its
// first bytes, whatever follows (a sparse 1 GiB file, an endless device),
// with the formats korvex reads.
TEST(RecordInput, BinaryInputIsRefusedFromItsFirstBytes) {
    const std::string sparse = tempPath("sparse.bin");
    { std::ofstream create(sparse); }
    std::filesystem::resize_file(sparse, std::uintmax_t{1} << 30);
    for (const std::string& path : {sparse, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        try {
            readRecord(path, {});
            ADD_FAILURE() << "read";
        } catch (const RecordError& e) {
            EXPECT_EQ(e.kind(), RecordError::Kind::Input);
            const std::string what = e.what();
            EXPECT_EQ(what.rfind(path + ": not a record korvex reads: a NUL byte at byte 1 (binary "
                                        "data, or text in UTF-16); korvex reads text records",
                                 0),
                      0u)
                << what;
            EXPECT_NE(what.find("LabVIEW measurement files (*.lvm)"), std::string::npos) << what;
        }
    }
    std::filesystem::remove(sparse);
    // A NUL byte further on is a fault of its line.
    try {
        parseRecord(std::string("0 1\n1 \0\n", 8), "t", {});
        ADD_FAILURE() << "read";
    } catch (const RecordError& e) {
        EXPECT_EQ(std::string(e.what()), "t:2:3: field 2: \"\\x00\" is not a number");
    }
}

// KORVEX_READ_PATH forces one read path, so that every one is tested on
// any machine; anything else leaves the fastest.
TEST(RecordInput, TheEnvironmentForcesAReadPath) {
    const char* before = std::getenv("KORVEX_READ_PATH");
    const std::string saved = before != nullptr ? before : "";
    const std::pair<const char*, detail::ReadPath> cases[] = {
        {"plain", detail::ReadPath::Plain},
        {"templates", detail::ReadPath::Templates},
        {"wide", detail::ReadPath::WideTemplates},
        {"fastest", detail::ReadPath::WideTemplates},
    };
    for (const auto& [value, path] : cases) {
        ::setenv("KORVEX_READ_PATH", value, 1);
        EXPECT_EQ(detail::readPathFromEnvironment(), path) << value;
    }
    if (before != nullptr) {
        ::setenv("KORVEX_READ_PATH", saved.c_str(), 1);
    } else {
        ::unsetenv("KORVEX_READ_PATH");
    }
}

// What the window learns from the first line before it asks anything.
TEST(RecordInput, LayoutPeekSaysWhatTheFirstLineLeavesOpen) {
    using S = ReadSetting;
    struct Case {
        const char* head;
        char separator;
        std::size_t columns;
        std::vector<std::string> names;
        std::optional<RecordTimeUnit> unit;
        std::vector<ReadSetting> open;
    };
    const Case cases[] = {
        {"  0.000000e+000 \t  0.0000e+000 \r\n", 0, 2, {}, {}, {}},
        {"\xEF\xBB\xBF# logger\n\nTime [ms];Accel (g);T\n0;1;2\n",
         ';',
         3,
         {"Time [ms]", "Accel (g)", "T"},
         RecordTimeUnit::Milliseconds,
         {S::ValueColumn}},
        {"time_s,accel\n", ',', 2, {"time_s", "accel"}, RecordTimeUnit::Seconds, {}},
        {"0 1 2\n", 0, 3, {}, {}, {S::ValueColumn, S::TimeUnit}},
        {"5\n6\n", 0, 1, {}, {}, {S::TimeColumn, S::Rate}},
        {"# nothing but comments\n", 0, 0, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        const TextLayoutPeek peek = peekTextLayout(c.head);
        EXPECT_EQ(peek.found, c.columns > 0);
        EXPECT_EQ(peek.separator, c.separator);
        EXPECT_EQ(peek.columns, c.columns);
        EXPECT_EQ(peek.names, c.names);
        EXPECT_EQ(peek.timeUnit, c.unit);
        EXPECT_EQ(peek.open, c.open);
    }
}

}  // namespace
}  // namespace korvex
