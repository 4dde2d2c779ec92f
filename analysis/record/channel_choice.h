// Which channels of a file to read, from what a person types: "all", or a
// list of numbers counted from 1, names and ranges ("2,3,5", "Accel", "2-4").
#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// A choice that names no channel of the file; item() is the part at fault.
class ChannelChoiceError : public std::invalid_argument {
  public:
    ChannelChoiceError(std::string item, const std::string& reason)
        : std::invalid_argument(reason), item_(std::move(item)) {}
    const std::string& item() const { return item_; }

  private:
    std::string item_;
};

// Indices into `names` in the order asked, each once. "" and "all" choose
// every channel. A name is matched exactly first, then ignoring case; a
// field of digits is a number unless a channel has that name. Throws
// ChannelChoiceError.
std::vector<std::size_t> chooseChannels(std::string_view choice,
                                        std::span<const std::string> names);

}  // namespace korvex
