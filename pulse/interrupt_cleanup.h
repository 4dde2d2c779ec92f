// Temporary files that must not outlive an interrupted process: Ctrl-C,
// SIGTERM or a closed terminal while a file is written remove them before
// the process ends as the signal would have ended it.
#pragma once

#include <string>

namespace korvex {

// Removes `path` if SIGINT, SIGTERM or SIGHUP ends the process while the
// guard lives. Installs the handlers on first use, for each signal whose
// disposition is still the default (a signal ignored, as under nohup, or
// handled by the program, stays so).
class InterruptCleanup {
  public:
    explicit InterruptCleanup(const std::string& path);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

  private:
    int slot_ = -1;  // -1: no room left, the file is not guarded
};

}  // namespace korvex
