#include "analysis/record/formats/mat_file.h"

#include <matio.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "analysis/record/formats/text_fields.h"

namespace korvex::formats {

namespace {

// matio prints its complaints; the reader's own error says what matters.
void quiet(int, char*) {}

mat_t* handle(void* p) {
    return static_cast<mat_t*>(p);
}

std::string temporaryCopy(const RecordInput& input) {
    std::random_device random;
    const auto path = std::filesystem::temp_directory_path() /
                      ("korvex-" + std::to_string(random()) + std::to_string(random()) + ".mat");
    std::ofstream out(path, std::ios::binary);
    out.write(input.bytes.data(), static_cast<std::streamsize>(input.bytes.size()));
    out.close();
    if (!out) {
        throw RecordError(RecordError::Kind::Unreadable, input.path, 0, 0,
                          "cannot keep standard input in " + path.string());
    }
    return path.string();
}

const char* className(matio_classes c) {
    switch (c) {
        case MAT_C_DOUBLE:
            return "double";
        case MAT_C_SINGLE:
            return "single";
        case MAT_C_INT8:
            return "int8";
        case MAT_C_UINT8:
            return "uint8";
        case MAT_C_INT16:
            return "int16";
        case MAT_C_UINT16:
            return "uint16";
        case MAT_C_INT32:
            return "int32";
        case MAT_C_UINT32:
            return "uint32";
        case MAT_C_INT64:
            return "int64";
        case MAT_C_UINT64:
            return "uint64";
        case MAT_C_CHAR:
            return "char";
        case MAT_C_CELL:
            return "cell";
        case MAT_C_STRUCT:
            return "struct";
        case MAT_C_SPARSE:
            return "sparse";
        case MAT_C_EMPTY:
            return "empty";
        default:
            return "object";
    }
}

template <class T>
void copyColumn(const void* data, std::size_t first, SampleArray& out) {
    const T* p = static_cast<const T*>(data) + first;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<double>(p[i]);
}

}  // namespace

MatFile::MatFile(const RecordInput& input) : input_(input) {
    static const int logging = Mat_LogInitFunc("korvex", quiet);
    (void)logging;
    // The bytes are what was read; the named file serves where it holds them.
    std::error_code ec;
    const bool named = input.path != "-" && std::filesystem::is_regular_file(input.path, ec) &&
                       std::filesystem::file_size(input.path, ec) == input.bytes.size() && !ec;
    if (!named) temporary_ = temporaryCopy(input);
    const std::string path = named ? input.path : temporary_;
    mat_ = Mat_Open(path.c_str(), MAT_ACC_RDONLY);
    if (mat_ == nullptr) {
        const bool says73 = input.bytes.substr(0, 20).starts_with("MATLAB 7.3 MAT-file");
        inputError(input, 0, 0,
                   says73 ? "a MAT file of version 7.3 (HDF5) that this build's matio cannot "
                            "read; save it with -v7 or -v6"
                          : "not a MAT file matio can read (a broken or cut-short header)");
    }
    version73_ = Mat_GetVersion(handle(mat_)) == MAT_FT_MAT73;
    while (matvar_t* v = Mat_VarReadNextInfo(handle(mat_))) {
        MatVariable m;
        m.name = v->name ? v->name : "";
        m.rank = static_cast<std::size_t>(v->rank);
        m.rows = v->rank > 0 ? v->dims[0] : 0;
        m.columns = v->rank > 0 ? 1 : 0;
        for (int d = 1; d < v->rank; ++d) m.columns *= v->dims[d];
        const matio_classes c = v->class_type;
        m.numeric = c >= MAT_C_DOUBLE && c <= MAT_C_UINT64 && !v->isComplex && !v->isLogical;
        m.kind =
            std::string(v->isComplex ? "complex " : "") + (v->isLogical ? "logical" : className(c));
        variables_.push_back(std::move(m));
        Mat_VarFree(v);
    }
}

MatFile::~MatFile() {
    if (mat_ != nullptr) Mat_Close(handle(mat_));
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

std::vector<SampleArray> MatFile::columns(const MatVariable& variable,
                                          const std::vector<std::size_t>& chosen) const {
    matvar_t* v = Mat_VarRead(handle(mat_), variable.name.c_str());
    if (v == nullptr || v->data == nullptr) {
        if (v) Mat_VarFree(v);
        inputError(
            input_, 0, 0,
            "variable " + inQuotes(variable.name) + " cannot be read (the file is cut short)");
    }
    std::vector<SampleArray> out;
    for (const std::size_t column : chosen) {
        SampleArray& c = out.emplace_back(variable.samples());
        const std::size_t first = column * variable.rows;
        switch (v->class_type) {
            case MAT_C_DOUBLE:
                copyColumn<double>(v->data, first, c);
                break;
            case MAT_C_SINGLE:
                copyColumn<float>(v->data, first, c);
                break;
            case MAT_C_INT8:
                copyColumn<mat_int8_t>(v->data, first, c);
                break;
            case MAT_C_UINT8:
                copyColumn<mat_uint8_t>(v->data, first, c);
                break;
            case MAT_C_INT16:
                copyColumn<mat_int16_t>(v->data, first, c);
                break;
            case MAT_C_UINT16:
                copyColumn<mat_uint16_t>(v->data, first, c);
                break;
            case MAT_C_INT32:
                copyColumn<mat_int32_t>(v->data, first, c);
                break;
            case MAT_C_UINT32:
                copyColumn<mat_uint32_t>(v->data, first, c);
                break;
            case MAT_C_INT64:
                copyColumn<mat_int64_t>(v->data, first, c);
                break;
            case MAT_C_UINT64:
                copyColumn<mat_uint64_t>(v->data, first, c);
                break;
            default:
                Mat_VarFree(v);
                inputError(input_, 0, 0, "variable " + inQuotes(variable.name) + " is not numbers");
        }
    }
    Mat_VarFree(v);
    return out;
}

}  // namespace korvex::formats
