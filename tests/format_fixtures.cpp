#include "format_fixtures.h"

#include <matio.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "analysis/record/formats/optioned_format.h"

namespace korvex::fixtures {

std::string number(double x) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

namespace {

std::string fixed6(double x) {
    char buf[64];
    return std::string(buf,
                       std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 6).ptr);
}

std::string withDecimal(std::string text, char decimal) {
    for (char& c : text) c = c == '.' ? decimal : c;
    return text;
}

}  // namespace

std::string lvmFile(const std::vector<std::vector<Series>>& segments, const LvmLayout& layout) {
    const std::string s(1, layout.separator);
    const auto num = [&](double x) { return withDecimal(number(x), layout.decimal); };
    std::string out = "LabVIEW Measurement" + s + "\nWriter_Version" + s + "2\nReader_Version" + s +
                      "2\nSeparator" + s + (layout.separator == '\t' ? "Tab" : "Comma") +
                      "\nDecimal_Separator" + s + layout.decimal + "\nMulti_Headings" + s +
                      "Yes\nX_Columns" + s + layout.xColumns + "\nTime_Pref" + s +
                      "Relative\nOperator" + s + "lab\nDate" + s + "2024/05/01\nTime" + s +
                      "10:00:00.5\n***End_of_Header***" + s + "\n" + s + "\n";
    const bool multi = layout.xColumns == "Multi";
    const bool noX = layout.xColumns == "No";
    for (const std::vector<Series>& channels : segments) {
        // A header row: the tag, then one cell per channel (over its data
        // column; with Multi, an empty cell over each X column).
        const auto row = [&](const std::string& tag, auto cell) {
            std::string line = tag;
            for (const Series& c : channels) line += s + cell(c) + (multi ? s : "");
            return line + s + "\n";
        };
        out += "Channels" + s + std::to_string(channels.size()) + s + "\n";
        if (layout.samples)
            out += row("Samples", [](const Series& c) { return std::to_string(c.values.size()); });
        out += row("Date", [](const Series&) { return std::string("2024/05/01"); });
        out += row("Y_Unit_Label", [](const Series& c) { return c.unit; });
        out += row("X_Dimension", [](const Series&) { return std::string("Time"); });
        if (layout.deltaX) {
            out += row("X0", [&](const Series& c) { return num(c.startS); });
            out += row("Delta_X", [&](const Series& c) { return num(c.intervalS); });
        }
        out += "***End_of_Header***" + s + "\n";
        std::string names = noX ? "" : "X_Value" + s;
        for (const Series& c : channels) names += c.name + s + (multi ? "X_Value" + s : "");
        if (multi) names.resize(names.size() - 8);
        out += names + "Comment\n";
        std::size_t rows = 0;
        for (const Series& c : channels) rows = std::max(rows, c.values.size());
        for (std::size_t i = 0; i < rows; ++i) {
            std::string line;
            const auto x = [&](const Series& c) {
                return withDecimal(fixed6(c.startS + static_cast<double>(i) * c.intervalS),
                                   layout.decimal);
            };
            if (!noX && !multi) line += x(channels.front()) + s;
            for (const Series& c : channels) {
                if (multi) line += (i < c.values.size() ? x(c) : "") + s;
                line += (i < c.values.size() ? num(c.values[i]) : "") + s;
            }
            out += line + "\n";
        }
        out += "\n";
    }
    return out;
}

std::string scopeCsvWithIncrement(const std::vector<Series>& channels) {
    std::string names = "X";
    std::string units = "Sequence";
    for (const Series& c : channels) {
        (names += ',') += c.name;
        (units += ',') += c.unit;
    }
    std::string out = names + ",Start,Increment,\n" + units + "," + number(channels[0].startS) +
                      "," + number(channels[0].intervalS) + "\n";
    for (std::size_t i = 0; i < channels[0].values.size(); ++i) {
        out += std::to_string(i);
        for (const Series& c : channels) (out += ',') += number(c.values[i]);
        out += ",\n";
    }
    return out;
}

std::string scopeCsvWithTimes(const std::vector<Series>& channels) {
    std::string out = "x-axis";
    for (const Series& c : channels) (out += ',') += c.name;
    out += "\r\nsecond";
    for (const Series& c : channels) (out += ',') += c.unit;
    out += "\r\n";
    for (std::size_t i = 0; i < channels[0].values.size(); ++i) {
        out += number(channels[0].startS + static_cast<double>(i) * channels[0].intervalS);
        for (const Series& c : channels) (out += ",+") += number(c.values[i]);
        out += "\r\n";
    }
    return out;
}

std::string matFile(const std::vector<MatVariable>& variables, MatVersion version) {
    const bool version73 = version == MatVersion::V73;
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("korvex_fixture_" + std::to_string(std::random_device{}()) +
                                        (version73 ? "_73" : "_5") + ".mat");
    mat_t* mat = Mat_CreateVer(path.c_str(), nullptr, version73 ? MAT_FT_MAT73 : MAT_FT_MAT5);
    if (mat == nullptr) throw std::runtime_error("matio cannot create " + path.string());
    for (const MatVariable& v : variables) {
        std::vector<double> data = v.data;
        std::string text = v.name;
        size_t dims[2] = {v.text ? 1 : v.rows, v.text ? text.size() : v.columns};
        matvar_t* var =
            v.text ? Mat_VarCreate(v.name.c_str(), MAT_C_CHAR, MAT_T_UINT8, 2, dims, text.data(), 0)
                   : Mat_VarCreate(v.name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, data.data(),
                                   0);
        Mat_VarWrite(
            mat, var,
            version == MatVersion::V5Compressed ? MAT_COMPRESSION_ZLIB : MAT_COMPRESSION_NONE);
        Mat_VarFree(var);
    }
    Mat_Close(mat);
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(path);
    return bytes;
}

namespace {

void put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string wavFile(const std::vector<std::vector<double>>& channels, int rate, int bits) {
    const int width = bits == 0 ? 4 : bits / 8;
    const std::size_t frames = channels[0].size();
    const std::size_t dataBytes = frames * channels.size() * static_cast<std::size_t>(width);
    std::string out = "RIFF";
    put(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    put(out, 16, 4);
    put(out, bits == 0 ? 3 : 1, 2);  // 3: IEEE float, 1: PCM
    put(out, channels.size(), 2);
    put(out, static_cast<std::uint64_t>(rate), 4);
    put(out, static_cast<std::uint64_t>(rate) * channels.size() * static_cast<std::uint64_t>(width),
        4);
    put(out, channels.size() * static_cast<std::size_t>(width), 2);
    put(out, bits == 0 ? 32 : static_cast<std::uint64_t>(bits), 2);
    out += "data";
    put(out, dataBytes, 4);
    for (std::size_t f = 0; f < frames; ++f) {
        for (const std::vector<double>& c : channels) {
            if (bits == 0) {
                const float v = static_cast<float>(c[f]);
                std::uint32_t u = 0;
                std::memcpy(&u, &v, 4);
                put(out, u, 4);
            } else {
                const double full = std::ldexp(1.0, bits - 1);
                put(out,
                    static_cast<std::uint64_t>(
                        static_cast<std::int64_t>(std::llround(c[f] * full))),
                    width);
            }
        }
    }
    return out;
}

Record read(const RecordFormat& format, const std::string& bytes, const FormatOptions& options,
            const std::string& path) {
    const RecordInput input{path, bytes};
    ReadOptions plain;
    plain.rateHz = options.rateHz;
    plain.valueColumn = options.channels;  // what a format without its own options reads
    if (const auto* f = dynamic_cast<const OptionedFormat*>(&format))
        return f->read(input, plain, options);
    return format.read(input, plain);
}

std::string errorOf(const RecordFormat& format, const std::string& bytes,
                    const FormatOptions& options, const std::string& path) {
    try {
        read(format, bytes, options, path);
    } catch (const RecordError& e) {
        return std::string(e.kind() == RecordError::Kind::Input ? "input: " : "unreadable: ") +
               e.what();
    }
    return "no error";
}

}  // namespace korvex::fixtures
