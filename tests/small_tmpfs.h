// A 1 MiB tmpfs, for a disk that fills up: mounting needs root (as in CI);
// elsewhere the test is skipped.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace korvex {

class SmallTmpfs {
  public:
    SmallTmpfs()
        : dir_(std::filesystem::temp_directory_path() /
               ("korvex_small_tmpfs_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        if (::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=1m") == 0) {
            mounted_ = true;
        } else {
            why_ = std::string("cannot mount a 1 MiB tmpfs (needs root): ") + std::strerror(errno);
        }
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount(dir_.c_str());
        std::error_code ignored;
        std::filesystem::remove(dir_, ignored);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& whyNot() const { return why_; }
    const std::filesystem::path& dir() const { return dir_; }

  private:
    std::filesystem::path dir_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace korvex
