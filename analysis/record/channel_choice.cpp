#include "analysis/record/channel_choice.h"

#include <algorithm>
#include <charconv>

namespace korvex {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

// A whole field of digits as a number, or 0.
std::size_t numberIn(std::string_view s) {
    std::size_t n = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), n);
    return (r.ec == std::errc() && r.ptr == s.data() + s.size()) ? n : 0;
}

std::string listOf(std::span<const std::string> names) {
    std::string list;
    for (std::size_t i = 0; i < names.size() && i < 12; ++i) {
        list += (i ? ", " : "") + std::to_string(i + 1) + " " + names[i];
    }
    if (names.size() > 12) list += ", ...";
    return list;
}

[[noreturn]] void refuse(std::string_view item, const std::string& why,
                         std::span<const std::string> names) {
    throw ChannelChoiceError(std::string(item), "channel \"" + std::string(item) + "\" " + why +
                                                    " (the file has " + listOf(names) + ")");
}

// The channel a single item names: its name, else its number.
std::size_t channelOf(std::string_view item, std::span<const std::string> names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == item) return i;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (sameIgnoringCase(names[i], item)) return i;
    }
    const std::size_t n = numberIn(item);
    if (n == 0) refuse(item, "is neither a channel's name nor a number from 1", names);
    if (n > names.size()) refuse(item, "is past the last channel", names);
    return n - 1;
}

}  // namespace

std::vector<std::size_t> chooseChannels(std::string_view choice,
                                        std::span<const std::string> names) {
    std::vector<std::size_t> chosen;
    choice = trimmed(choice);
    if (choice.empty() || sameIgnoringCase(choice, "all")) {
        for (std::size_t i = 0; i < names.size(); ++i) chosen.push_back(i);
        return chosen;
    }
    const auto add = [&](std::size_t i, std::string_view item) {
        if (std::find(chosen.begin(), chosen.end(), i) != chosen.end()) {
            refuse(item, "is chosen twice", names);
        }
        chosen.push_back(i);
    };
    while (true) {
        const std::size_t comma = choice.find(',');
        const std::string_view item = trimmed(choice.substr(0, comma));
        if (item.empty()) throw ChannelChoiceError("", "an empty item in the channel list");
        const std::size_t dash = item.find('-', 1);
        const bool isName = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return sameIgnoringCase(n, item);
        });
        if (dash != std::string_view::npos && !isName) {
            const std::size_t first = channelOf(trimmed(item.substr(0, dash)), names);
            const std::size_t last = channelOf(trimmed(item.substr(dash + 1)), names);
            if (last < first) refuse(item, "runs backwards", names);
            for (std::size_t i = first; i <= last; ++i) add(i, item);
        } else {
            add(channelOf(item, names), item);
        }
        if (comma == std::string_view::npos) break;
        choice.remove_prefix(comma + 1);
    }
    return chosen;
}

}  // namespace korvex
