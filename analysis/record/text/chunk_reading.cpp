#include "analysis/record/text/chunk_reading.h"

namespace korvex::text {

void parseChunk(const Body& body, Chunk& c) {
#if KORVEX_HAVE_AVX2
    if (body.wide && cpuHasAvx2()) {
        parseChunkWide(body, c);
        return;
    }
#endif
    parseChunkWith<NarrowReading>(body, c);
}

}  // namespace korvex::text
