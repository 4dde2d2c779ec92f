// The headers of a LabVIEW measurement file (.lvm): the file header (how
// the text is laid out) and each segment's header (per channel: samples,
// start, interval, unit), as NI's public tutorial 4139 on the LabVIEW
// Measurement File describes them, https://www.ni.com/tutorial/4139/en/.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/record/formats/text_fields.h"

namespace korvex::formats {

enum class LvmXColumns { No, One, Multi };

struct LvmFileHeader {
    char separator = '\t';
    char decimal = '.';
    LvmXColumns xColumns = LvmXColumns::One;
    bool multiHeadings = false;  // a header before every segment
    bool absoluteTime = false;
};

// A value of a segment header row for one channel, with where it stands.
struct LvmCell {
    std::string text;
    std::size_t line = 0;
    std::size_t column = 0;
};

struct LvmChannelHeader {
    std::optional<std::size_t> samples;
    LvmCell samplesCell;
    std::optional<double> x0;
    std::optional<double> deltaX;
    LvmCell deltaXCell;
    std::string unit;
    std::string xDimension;
    LvmCell xDimensionCell;
};

struct LvmSegmentHeader {
    std::size_t firstLine = 0;  // where the segment starts, for messages
    std::optional<std::size_t> channelCount;
    std::vector<LvmChannelHeader> channels;  // as many as the rows give
    std::vector<std::string> names;          // from the "X_Value ..." line, without X and Comment
    std::size_t namesLine = 0;
    // The names line starts with X_Value: the data have an X column, empty
    // where X_Columns is No.
    bool xValueColumn = false;
};

// Reads the file header up to its ***End_of_Header*** line; `cursor`
// stands after it. Throws RecordError.
LvmFileHeader readLvmFileHeader(const RecordInput& input, LineCursor& cursor);

// True for a line that can only start a segment header (its first field
// is a tag, not a number or empty).
bool startsLvmSegmentHeader(std::string_view line, const LvmFileHeader& file);

// Reads a segment header from `first` (its first line, already taken) to its
// ***End_of_Header*** and the channel-name line that follows. Throws RecordError.
LvmSegmentHeader readLvmSegmentHeader(const RecordInput& input, LineCursor& cursor,
                                      const TextLine& first, const LvmFileHeader& file);

}  // namespace korvex::formats
