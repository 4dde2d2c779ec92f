#include "analysis/record/text/text_chunks.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <thread>
#include <utility>

#include "analysis/record/text/chunk_reading.h"
#include "pulse/file_sink.h"  // adviseLargeArray
#include "pulse/parallel.h"

namespace korvex::text {

namespace {

// Sizes a sample array without letting it double, backed by huge pages
// where the system has them: a large one is given whole 2 MB pages (its
// allocator starts it on one). Its samples are left unwritten: the pages
// are first touched by the threads that parse into them.
void sizeArray(SampleArray& v, std::size_t n) {
    constexpr std::size_t kPage = (std::size_t{2} << 20) / sizeof(double);
    const bool large = n * sizeof(double) >= SampleArray::allocator_type::kLarge;
    v.reserve(large ? (n + kPage - 1) / kPage * kPage : n);
    adviseLargeArray(v.data(), v.capacity() * sizeof(double));
    v.resize(n);
}

unsigned threadCount(const ReadOptions& o, std::size_t bytes, bool plain) {
    if (plain) return 1;
    if (o.threads != 0) return std::min(o.threads, 256u);
    if (bytes < (std::size_t{1} << 20)) return 1;  // not worth a thread
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

std::vector<Chunk> readChunks(const Layout& layout, const char* bodyBegin, const char* textEnd,
                              const ReadOptions& options, detail::ReadPath path, Channel& record) {
    const bool plain = path == detail::ReadPath::Plain;
    const bool timed = layout.timeField != kNone;
    // Pieces of whole lines, eight per thread, which the threads take in
    // turn: a thread that gets less of a busy machine takes fewer. Each
    // piece has room for as many samples as it has lines, so that they go
    // straight to their final places.
    const std::size_t bodyBytes = static_cast<std::size_t>(textEnd - bodyBegin);
    const unsigned threads = threadCount(options, bodyBytes, plain);
    const std::size_t pieces = threads == 1 ? 1 : 8 * std::size_t{threads};
    std::vector<Chunk> chunks(pieces);
    // Where all lines are as long as the first (korvex's are, and those of
    // many loggers), a piece of b bytes holds b / that many and need not be
    // counted. The first line's length is checked at the cuts, or at eight
    // places in one piece; a piece that turns out to hold more samples has
    // every piece counted and read again.
    const char* firstNewline = static_cast<const char*>(
        std::memchr(bodyBegin, '\n', std::min<std::size_t>(bodyBytes, 4096)));
    const std::size_t lineSize =
        firstNewline != nullptr ? static_cast<std::size_t>(firstNewline + 1 - bodyBegin) : 0;
    const std::size_t wholeLines = lineSize > 0 ? bodyBytes / lineSize : 0;
    bool uniform = !plain && wholeLines > 0;
    const std::size_t probes = std::max<std::size_t>(pieces, 8);
    for (std::size_t k = 1; uniform && k < probes; ++k) {
        const std::size_t line = wholeLines * k / probes;
        uniform = line == 0 || bodyBegin[line * lineSize - 1] == '\n';
    }
    for (std::size_t k = 0; k < pieces; ++k) {
        const char* cut = bodyBegin + bodyBytes / pieces * k + bodyBytes % pieces * k / pieces;
        if (uniform) {
            cut = bodyBegin + wholeLines * k / pieces * lineSize;
        } else if (k > 0 && cut > bodyBegin && cut[-1] != '\n') {
            const char* nl = static_cast<const char*>(
                std::memchr(cut, '\n', static_cast<std::size_t>(textEnd - cut)));
            cut = nl != nullptr ? nl + 1 : textEnd;
        }
        chunks[k].begin = std::max(cut, k > 0 ? chunks[k - 1].begin : bodyBegin);
        if (k > 0) chunks[k - 1].end = chunks[k].begin;
    }
    chunks[pieces - 1].end = textEnd;
    const auto eachPiece = [&](auto work) {
        parallelFor(pieces, threads, [&](std::size_t k, unsigned) { work(chunks[k]); });
    };
    const auto countLines = [path](Chunk& c) {
        c.lines =
            detail::countNewlines(c.begin, c.end, path) + (c.end > c.begin && c.end[-1] != '\n');
    };
    if (uniform) {
        for (Chunk& c : chunks)
            c.lines = (static_cast<std::size_t>(c.end - c.begin) + lineSize - 1) / lineSize;
    } else {
        eachPiece(countLines);
    }

    Body body;
    body.layout = &layout;
    body.textEnd = textEnd;
    // Templates read digits eight to a 64-bit word, lowest address first.
    body.templates = !plain && std::endian::native == std::endian::little;
    body.wide = path == detail::ReadPath::WideTemplates;
    for (;;) {
        std::size_t room = 0;
        for (Chunk& c : chunks) {
            c.offset = room;
            room += c.lines;
        }
        sizeArray(record.values, room);
        if (timed) sizeArray(record.time, room);
        body.times = timed ? record.time.data() : nullptr;
        body.values = record.values.data();
        eachPiece([&body](Chunk& c) { parseChunk(body, c); });
        if (std::none_of(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.overflow; }))
            break;
        // Lines shorter than the first: count them, and read again.
        record.values = SampleArray();
        record.time = SampleArray();
        for (Chunk& c : chunks) {
            Chunk again;
            again.begin = c.begin;
            again.end = c.end;
            c = std::move(again);
        }
        eachPiece(countLines);
    }

    // Close the gaps that skipped lines left between the pieces.
    std::size_t n = 0;
    for (const Chunk& c : chunks) {
        if (c.offset != n) {
            std::memmove(record.values.data() + n, record.values.data() + c.offset,
                         c.samples * sizeof(double));
            if (timed)
                std::memmove(record.time.data() + n, record.time.data() + c.offset,
                             c.samples * sizeof(double));
        }
        n += c.samples;
    }
    record.values.resize(n);
    if (timed) record.time.resize(n);
    return chunks;
}

}  // namespace korvex::text
