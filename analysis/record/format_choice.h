// Which format reads an input: the one whose sniff of the first bytes claims
// it most surely. Anything none claims is refused at once, naming the
// formats korvex reads.
#pragma once

#include <span>
#include <string>

#include "analysis/record/record_format.h"

namespace korvex {

// Throws RecordError (Input) where no format claims the input, or where
// only a file name claims bytes that are binary (a NUL byte in the head).
const RecordFormat& chooseRecordFormat(const RecordInput& input,
                                       std::span<const RecordFormat* const> formats);

// "LabVIEW measurement files (*.lvm), WAV files (*.wav, *.WAV), ..."
std::string formatsText(std::span<const RecordFormat* const> formats);

}  // namespace korvex
