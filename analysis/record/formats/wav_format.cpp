#include "analysis/record/formats/wav_format.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>

#include "analysis/record/channel_choice.h"
#include "analysis/record/formats/text_fields.h"

namespace korvex {

using namespace formats;

namespace {

// The bytes as libsndfile's virtual file: read-only, seekable.
struct Bytes {
    std::string_view data;
    sf_count_t at = 0;
};

sf_count_t lengthOf(void* user) {
    return static_cast<sf_count_t>(static_cast<Bytes*>(user)->data.size());
}

sf_count_t seekTo(sf_count_t offset, int whence, void* user) {
    Bytes& b = *static_cast<Bytes*>(user);
    const sf_count_t size = static_cast<sf_count_t>(b.data.size());
    const sf_count_t base = whence == SEEK_CUR ? b.at : whence == SEEK_END ? size : 0;
    b.at = std::clamp<sf_count_t>(base + offset, 0, size);
    return b.at;
}

sf_count_t readInto(void* out, sf_count_t count, void* user) {
    Bytes& b = *static_cast<Bytes*>(user);
    const sf_count_t n = std::min<sf_count_t>(count, static_cast<sf_count_t>(b.data.size()) - b.at);
    if (n <= 0) return 0;
    std::memcpy(out, b.data.data() + b.at, static_cast<std::size_t>(n));
    b.at += n;
    return n;
}

sf_count_t refuseWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t tellOf(void* user) {
    return static_cast<Bytes*>(user)->at;
}

struct Closer {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

}  // namespace

Sniff WavFormat::sniff(std::string_view head, std::string_view path) const {
    if (head.size() >= 12 && (head.starts_with("RIFF") || head.starts_with("RF64")) &&
        head.substr(8, 4) == "WAVE") {
        return Sniff::mine(100,
                           {ReadSetting::ValueColumn, ReadSetting::Scale, ReadSetting::UnitLabel});
    }
    return path.ends_with(".wav") || path.ends_with(".WAV") ? Sniff::mine(1) : Sniff::notMine();
}

Record WavFormat::read(const RecordInput& input, const ReadOptions&,
                       const FormatOptions& format) const {
    Bytes bytes{input.bytes};
    SF_VIRTUAL_IO io{lengthOf, seekTo, readInto, refuseWrite, tellOf};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, Closer> file(sf_open_virtual(&io, SFM_READ, &info, &bytes));
    if (!file) {
        inputError(input, 0, 0,
                   std::string("not a WAV file that can be read: ") + sf_strerror(nullptr));
    }
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64) {
        inputError(input, 0, 0, "a sound file, but not a WAV file");
    }
    if (info.samplerate <= 0 || info.channels <= 0) {
        inputError(input, 0, 0, "the WAV header gives no sample rate or no channels");
    }
    if (!(format.scale != 0.0) || format.scale != format.scale) {
        inputError(input, 0, 0, "the scale is zero or not a number");
    }
    const std::size_t channels = static_cast<std::size_t>(info.channels);
    std::vector<std::string> names(channels);
    for (std::size_t k = 0; k < channels; ++k) names[k] = "Channel " + std::to_string(k + 1);
    std::vector<std::size_t> chosen;
    try {
        chosen = chooseChannels(format.channels, names);
    } catch (const ChannelChoiceError& e) {
        inputError(input, 0, 0, e.what());
    }
    Record record;
    record.source = input.path;
    record.format = std::string(name());
    record.channels.resize(chosen.size());
    const std::size_t frames = static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0));
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        Channel& c = record.channels[i];
        c.name = names[chosen[i]];
        c.unit = format.unitLabel;
        c.intervalS = 1.0 / info.samplerate;
        c.values.resize(frames);
    }
    // Interleaved blocks, spread into the chosen channels.
    constexpr std::size_t kBlockFrames = 16384;
    std::vector<double> block(kBlockFrames * channels);
    std::size_t done = 0;
    while (done < frames) {
        const sf_count_t want = static_cast<sf_count_t>(std::min(kBlockFrames, frames - done));
        const sf_count_t got = sf_readf_double(file.get(), block.data(), want);
        if (got <= 0) break;
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            double* out = record.channels[i].values.data() + done;
            const double* in = block.data() + chosen[i];
            for (sf_count_t f = 0; f < got; ++f) out[f] = in[f * channels] * format.scale;
        }
        done += static_cast<std::size_t>(got);
    }
    if (done < 2) inputError(input, 0, 0, "the WAV file holds fewer than two samples");
    if (done < frames) {
        record.notes.push_back("the WAV file is cut short: " + std::to_string(done) + " of " +
                               std::to_string(frames) + " frames");
        for (Channel& c : record.channels) c.values.resize(done);
    }
    if (format.unitLabel.empty()) record.notes.push_back("values as stored, full scale 1.0");
    return record;
}

}  // namespace korvex
