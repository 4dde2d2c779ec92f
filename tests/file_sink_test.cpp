#include "pulse/file_sink.h"
#include "pulse/time_history.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "small_tmpfs.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FileSinkTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("korvex_sink_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

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

// What the folder holds, by name: no temporary file may be left behind.
std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FileSinkTest, AbandonedWriteLeavesTheNameAsItWas) {
    const fs::path old = dir_ / "old.txt", fresh = dir_ / "new.txt";
    std::ofstream(old) << "good contents";
    { FileSink(old.string()).write("partial", 7); }
    { FileSink(fresh.string()).write("partial", 7); }
    EXPECT_EQ(slurp(old), "good contents");
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"old.txt"});
}

TEST_F(FileSinkTest, ReplacingKeepsTheModeAndWritesThroughALink) {
    const fs::path target = dir_ / "target.txt", link = dir_ / "link.txt";
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("target.txt", link);  // relative, as links usually are
    FileSink sink(link.string());
    EXPECT_TRUE(sink.replaces());
    sink.write("new", 3);
    sink.close();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(target), "new");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"link.txt", "target.txt"}));
}

// The system calls, with one of them failing or misbehaving on the
// temporary file the way a full disk, a lost share or a signal makes it.
class FaultyCalls : public SystemCalls {
  public:
    enum class Fault { Rename, Fchmod, Close, ShortThenFull, Interrupted, Short };
    explicit FaultyCalls(Fault fault) : fault_(fault) {}

    ssize_t write(int fd, const void* data, std::size_t size) override {
        const int n = writes_++;
        switch (fault_) {
            case Fault::ShortThenFull:
                if (n == 1) return SystemCalls::write(fd, data, size / 3);
                if (n > 1) return errno = ENOSPC, -1;
                break;
            case Fault::Interrupted:
                if (n % 2 == 1) return errno = EINTR, -1;
                break;
            case Fault::Short:
                return SystemCalls::write(fd, data, std::max<std::size_t>(1, size / 2));
            default:
                break;
        }
        return SystemCalls::write(fd, data, size);
    }
    int close(int fd) override {
        const int result = SystemCalls::close(fd);
        return fault_ == Fault::Close ? (errno = EIO, -1) : result;
    }
    int rename(const char* from, const char* to) override {
        return fault_ == Fault::Rename ? (errno = EXDEV, -1) : SystemCalls::rename(from, to);
    }
    int fchmod(int fd, mode_t mode) override {
        return fault_ == Fault::Fchmod ? (errno = EPERM, -1) : SystemCalls::fchmod(fd, mode);
    }

  private:
    const Fault fault_;
    std::atomic<int> writes_{0};  // counted on the writer thread
};

TEST_F(FileSinkTest, SystemFailuresLeaveTheOldFileAndNoTemporary) {
    using Fault = FaultyCalls::Fault;
    struct Case {
        Fault fault;
        const char* reason;  // empty: the write must succeed
    };
    const Case cases[] = {
        {Fault::Rename, "renaming the temporary file .pulse.txt."},
        {Fault::Fchmod, "setting the permissions of the temporary file .pulse.txt."},
        {Fault::Close, "closing the temporary file .pulse.txt."},
        {Fault::ShortThenFull, "No space left on device"},
        {Fault::Interrupted, ""},
        {Fault::Short, ""},
    };
    const fs::path old = dir_ / "pulse.txt";
    std::string bytes(3 << 20, '\0');  // several buffers, through the writer thread
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        std::ofstream(old) << "good contents";
        FaultyCalls calls(c.fault);
        try {
            FileSink sink(old.string(), calls);
            sink.write(bytes.data(), bytes.size());
            sink.close();
            EXPECT_STREQ(c.reason, "");
            EXPECT_TRUE(slurp(old) == bytes);
        } catch (const FileError& e) {
            EXPECT_NE(std::string(c.reason), "");
            EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.reason();
            EXPECT_EQ(e.left(), FileError::Left::Unchanged);
            EXPECT_EQ(slurp(old), "good contents");
        }
        EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"pulse.txt"});
    }
}

// A child process writing over a file is interrupted part-way: it dies of
// the signal, as a shell expects, and leaves the old file and no temporary.
TEST_F(FileSinkTest, InterruptedWriteLeavesTheOldFileAndNoTemporary) {
    const fs::path old = dir_ / "pulse.txt";
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::ofstream(old) << "good contents";
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            FileSink sink(old.string());
            const std::string block(1 << 20, 'x');
            for (int i = 0; i < 4; ++i) sink.write(block.data(), block.size());
            const char go = 1;
            if (::write(ready[1], &go, 1) != 1) ::_exit(2);
            // Still writing when the signal comes, with a bound on the disk used.
            for (int i = 0; i < 200; ++i) sink.write(block.data(), block.size());
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char go = 0;
        ASSERT_EQ(::read(ready[0], &go, 1), 1);
        ::close(ready[0]);
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(slurp(old), "good contents");
        EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"pulse.txt"});
    }
}

TEST_F(FileSinkTest, FifoIsWrittenDirectly) {
    const fs::path fifo = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = slurp(fifo); });
    {
        FileSink sink(fifo.string());  // opens once the reader has
        EXPECT_FALSE(sink.replaces());
        const std::string big(3 << 20, 'y');  // several buffers through the writer thread
        sink.write(big.data(), big.size());
        sink.close();
    }
    reader.join();
    EXPECT_EQ(received, std::string(3 << 20, 'y'));
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"pipe"});
}

TEST(FileSinkFullDiskTest, FullFolderLeavesTheOldFileAndNoTemporary) {
    SmallTmpfs disk;
    if (!disk.mounted()) GTEST_SKIP() << disk.whyNot();
    const fs::path old = disk.dir() / "pulse.txt", fresh = disk.dir() / "new.txt";
    std::ofstream(old) << "good contents";
    const PulseParameters p{1.0, 0.011, 10.0, 10000.0, PulseType::HalfSine, TimeUnit::Seconds};
    ASSERT_EQ(computePulseSeries(p), 100000);  // 3.3 MB into 1 MiB
    for (const fs::path& path : {old, fresh}) {
        try {
            FileSink sink(path.string());
            writeTimeHistory(sink, pulseSeries);
            sink.close();
            ADD_FAILURE() << "wrote " << path << " on a full disk";
        } catch (const FileError& e) {
            EXPECT_EQ(e.reason(), "No space left on device");
            EXPECT_EQ(e.left(),
                      path == old ? FileError::Left::Unchanged : FileError::Left::NotCreated);
        }
    }
    EXPECT_EQ(slurp(old), "good contents");
    EXPECT_EQ(namesIn(disk.dir()), std::vector<std::string>{"pulse.txt"});
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
