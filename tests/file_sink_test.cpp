#include "pulse/file_sink.h"
#include "pulse/time_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace korvex {
namespace {

namespace fs = std::filesystem;

class FileSinkTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("korvex_sink_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir_;
};

TEST_F(FileSinkTest, WritesSmallAndLargePiecesInOrder) {
    const fs::path path = dir_ / "out.txt";
    const std::string big(3 << 20, 'x');  // larger than the buffer
    {
        FileSink sink(path.string());
        sink.write("ab", 2);
        sink.write(big.data(), big.size());
        sink.write("\r\n", 2);
        sink.close();
        sink.close();  // a second close is harmless
    }
    EXPECT_EQ(slurp(path), "ab" + big + "\r\n");
}

TEST_F(FileSinkTest, KeepsWhatItAcceptedWhenNotClosed) {
    const fs::path path = dir_ / "out.txt";
    { FileSink(path.string()).write("kept", 4); }
    EXPECT_EQ(slurp(path), "kept");
}

TEST_F(FileSinkTest, MixedWritesAndLinesKeepTheirOrder) {
    const fs::path path = dir_ / "mixed.txt";
    FileSink sink(path.string());
    std::string expected;
    for (int i = 0; i < 100000; ++i) {  // several buffers' worth
        if (i % 1000 == 0) {
            sink.write("#", 1);
            expected += "#";
        }
        formatTimeHistoryLineTo(sink.reserve(kTimeHistoryLineSize), i, -i);
        sink.commit(kTimeHistoryLineSize);
        expected += formatTimeHistoryLine(i, -i);
    }
    sink.close();
    EXPECT_EQ(slurp(path), expected);
}

TEST_F(FileSinkTest, CannotCreateNamesPathAndReason) {
    const std::string path = (dir_ / "missing" / "out.txt").string();
    try {
        FileSink sink(path);
        FAIL() << "opened " << path;
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.reason(), "No such file or directory");
        EXPECT_EQ(std::string(e.what()), path + ": No such file or directory");
    }
}

TEST(FileSinkFullDiskTest, FullDeviceFailsAtCloseAndAgainAfter) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    FileSink sink("/dev/full");
    sink.write("line\r\n", 6);  // still buffered
    try {
        sink.close();
        FAIL() << "close reported success on a full device";
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), "/dev/full");
        EXPECT_EQ(e.reason(), "No space left on device");
    }
    EXPECT_THROW(sink.write("x", 1), FileError);
    EXPECT_THROW(sink.close(), FileError);
}

TEST(FileSinkFullDiskTest, FullDeviceStopsTheWriter) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const PulseParameters p{1.0, 0.011, 10.0, 10000.0, PulseType::HalfSine, TimeUnit::Seconds};
    ASSERT_EQ(computePulseSeries(p), 100000);
    FileSink sink("/dev/full");
    EXPECT_THROW(writeTimeHistory(sink, pulseSeries), FileError);
}

}  // namespace
}  // namespace korvex
