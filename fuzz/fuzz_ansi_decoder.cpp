// Feeds the decoder one stream in reads whose sizes come from the input,
// and checks that the chunks equal those of the same stream in one read.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzSupport.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

namespace {
struct Chunk {
    ANSIResultType type;
    QByteArray data;
    bool operator==(const Chunk&) const = default;
};

// Collects chunks with adjacent text joined and empty text left out, the
// form that does not depend on read boundaries.
class Collector : public ANSIDataProcessorDelegate {
public:
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        if (results.isEmpty())
            abort();
        for (const ANSIDataProcessorResult result : results) {
            if (result.type() == ANSIResultType::Command &&
                result.data().size() > ANSIDataProcessor::kMaximumEscapeSequenceLength)
                abort();
            if (result.type() == ANSIResultType::Text) {
                if (result.data().isEmpty())
                    continue;
                if (!chunks.empty() && chunks.back().type == ANSIResultType::Text) {
                    chunks.back().data += result.data();
                    continue;
                }
            }
            chunks.push_back({result.type(), result.data().toByteArray()});
        }
    }
    std::vector<Chunk> chunks;
};
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUpFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzReads reads(data, size);
    Collector whole;
    ANSIDataProcessor(&whole).processData(reads.stream());

    Collector pieces;
    ANSIDataProcessor processor(&pieces);
    reads.forEachRead([&](QByteArrayView read) { processor.processData(read); });
    if (!(whole.chunks == pieces.chunks))
        abort();
    return 0;
}
