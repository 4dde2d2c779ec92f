// The glue between MATLAB .mat files (v5 and v7.3) and the .mat format:
// matio opens the file, lists its variables and reads numeric columns as
// doubles. Standard input goes through a temporary file, as matio reads
// only named files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "analysis/record/record_format.h"

namespace korvex::formats {

struct MatVariable {
    std::string name;
    std::size_t rows = 0;
    std::size_t columns = 0;  // all dimensions past the first, multiplied
    std::size_t rank = 0;
    bool numeric = false;  // real, dense, of a number class
    std::string kind;      // for messages: "double", "char", "cell", "complex double", ...

    // A 1 x N row is one channel of N samples, as a column would be.
    std::size_t samples() const { return rows == 1 ? columns : rows; }
    std::size_t channels() const { return rows == 1 ? 1 : columns; }
};

class MatFile {
  public:
    // Throws RecordError: Unreadable where the file cannot be opened, Input
    // where it is no MAT file matio can read.
    explicit MatFile(const RecordInput& input);
    ~MatFile();
    MatFile(const MatFile&) = delete;
    MatFile& operator=(const MatFile&) = delete;

    const std::vector<MatVariable>& variables() const { return variables_; }
    bool isVersion73() const { return version73_; }
    // The columns `chosen` (from 0) of a numeric variable, as doubles, from
    // one read of the variable.
    std::vector<SampleArray> columns(const MatVariable& variable,
                                     const std::vector<std::size_t>& chosen) const;

  private:
    const RecordInput& input_;
    std::string temporary_;  // where standard input was put, or empty
    void* mat_ = nullptr;
    bool version73_ = false;
    std::vector<MatVariable> variables_;
};

}  // namespace korvex::formats
