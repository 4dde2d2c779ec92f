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

template <class T>
void copyColumn(const void* data, std::size_t first, SampleArray& out) {
    const T* p = static_cast<const T*>(data) + first;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<double>(p[i]);
}

// The classes of numbers, by their names and how their columns become doubles.
struct NumberClass {
    matio_classes id;
    const char* name;
    void (*copy)(const void*, std::size_t, SampleArray&);
};
constexpr NumberClass kNumbers[] = {
    {MAT_C_DOUBLE, "double", copyColumn<double>},
    {MAT_C_SINGLE, "single", copyColumn<float>},
    {MAT_C_INT8, "int8", copyColumn<mat_int8_t>},
    {MAT_C_UINT8, "uint8", copyColumn<mat_uint8_t>},
    {MAT_C_INT16, "int16", copyColumn<mat_int16_t>},
    {MAT_C_UINT16, "uint16", copyColumn<mat_uint16_t>},
    {MAT_C_INT32, "int32", copyColumn<mat_int32_t>},
    {MAT_C_UINT32, "uint32", copyColumn<mat_uint32_t>},
    {MAT_C_INT64, "int64", copyColumn<mat_int64_t>},
    {MAT_C_UINT64, "uint64", copyColumn<mat_uint64_t>},
};

const NumberClass* numberClass(matio_classes c) {
    for (const NumberClass& n : kNumbers) {
        if (n.id == c) return &n;
    }
    return nullptr;
}

const char* className(matio_classes c) {
    if (const NumberClass* n = numberClass(c)) return n->name;
    return c == MAT_C_CHAR     ? "char"
           : c == MAT_C_CELL   ? "cell"
           : c == MAT_C_STRUCT ? "struct"
           : c == MAT_C_SPARSE ? "sparse"
           : c == MAT_C_EMPTY  ? "empty"
                               : "object";
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
        m.numeric = numberClass(c) != nullptr && !v->isComplex && !v->isLogical;
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
    const NumberClass* number = v ? numberClass(v->class_type) : nullptr;
    // As many bytes as the dimensions say, or the file lied about them.
    if (v == nullptr || v->data == nullptr || number == nullptr || v->data_size <= 0 ||
        v->nbytes < variable.rows * variable.columns * static_cast<std::size_t>(v->data_size)) {
        if (v) Mat_VarFree(v);
        inputError(
            input_, 0, 0,
            "variable " + inQuotes(variable.name) + " cannot be read (the file is cut short)");
    }
    std::vector<SampleArray> out;
    for (const std::size_t column : chosen) {
        SampleArray& c = out.emplace_back(variable.samples());
        number->copy(v->data, column * variable.rows, c);
    }
    Mat_VarFree(v);
    return out;
}

}  // namespace korvex::formats
