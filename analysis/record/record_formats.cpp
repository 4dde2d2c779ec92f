#include "analysis/record/formats/lvm_format.h"
#include "analysis/record/formats/mat_format.h"
#include "analysis/record/formats/scope_csv_format.h"
#include "analysis/record/formats/wav_format.h"
#include "analysis/record/record_format.h"

namespace korvex {

std::span<const RecordFormat* const> recordFormats() {
    static const LvmFormat lvm;
    static const ScopeCsvFormat scopeCsv;
    static const MatFormat mat;
    static const WavFormat wav;
    static const RecordFormat* const formats[] = {
        &lvm,
        &scopeCsv,
        &mat,
        &wav,
    };
    return formats;
}

}  // namespace korvex
