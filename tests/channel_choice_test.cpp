#include "analysis/record/channel_choice.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

const std::vector<std::string> kNames = {"Time", "Accel X", "Accel Y", "Accel-Z", "Force"};

std::string outcome(std::string_view choice) {
    try {
        std::string out;
        for (const std::size_t i : chooseChannels(choice, kNames)) out += std::to_string(i) + " ";
        return out;
    } catch (const ChannelChoiceError& e) {
        return "[" + e.item() + "] " + e.what();
    }
}

TEST(ChannelChoice, MapsListsNamesAndRangesToIndices) {
    const struct {
        const char* choice;
        const char* expected;
    } cases[] = {
        {"", "0 1 2 3 4 "},
        {"ALL", "0 1 2 3 4 "},
        {"2,3,5", "1 2 4 "},
        {" force , accel x ", "4 1 "},
        {"2-4", "1 2 3 "},
        {"Accel X-Force", "1 2 3 4 "},
        {"accel-z", "3 "},  // a name with a dash is no range
        {"6",
         "[6] channel \"6\" is past the last channel (the file has 1 Time, 2 Accel X, "
         "3 Accel Y, 4 Accel-Z, 5 Force)"},
        {"Velocity",
         "[Velocity] channel \"Velocity\" is neither a channel's name nor a number from 1"},
        {"3,3", "[3] channel \"3\" is chosen twice"},
        {"4-2", "[4-2] channel \"4-2\" runs backwards"},
        {"1,,2", "[] an empty item in the channel list"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outcome(c.choice).rfind(c.expected, 0), 0u)
            << c.choice << ": " << outcome(c.choice);
    }
}

}  // namespace
}  // namespace korvex
