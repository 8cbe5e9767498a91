// Feeds a connection's receive stream, with compression agreed, one server
// stream in reads whose sizes come from the input, and checks that the
// text, telnet commands and compression events equal those of the same
// stream in one read, and that no slice handed to the decoder is longer
// than a slice. The seeds hold compression starts followed by zlib streams.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzSupport.h"
#include "engine/connection/MUDReceiveStream.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

namespace {
// What the session would show, in a form that does not depend on where
// reads end: text joined, each telnet command and event in order.
class Recorder : public MUDReceiveStream::Sink, public ANSIDataProcessorDelegate {
public:
    qsizetype decodeSlice(QByteArrayView slice) override
    {
        if (slice.size() > MUDReceiveStream::SliceBytes)
            abort();
        decoder.processData(slice);
        return decoder.consumedBytes();
    }
    bool ANSIDataProcessorTelnetCommand(ANSIDataProcessor*, QByteArrayView command) override
    {
        return !stream->stopsAfter(command);
    }
    void receiveStreamEvent(MUDReceiveStream::Event event) override
    {
        shown.push_back("event " + QByteArray::number(int(event)));
    }
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        for (const ANSIDataProcessorResult result : results) {
            if (result.type() != ANSIResultType::Text) {
                shown.push_back(result.data().toByteArray());
            } else if (!result.data().isEmpty()) {
                if (shown.empty() || !shown.back().startsWith("text "))
                    shown.push_back("text ");
                shown.back() += result.data();
            }
        }
    }

    MUDReceiveStream* stream = nullptr;
    ANSIDataProcessor decoder{this};
    std::vector<QByteArray> shown;
};

struct Receiver {
    Recorder recorder;
    MUDReceiveStream stream{recorder};
    Receiver()
    {
        recorder.stream = &stream;
        stream.setCompressionAccepted(true);
    }
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
    Receiver whole;
    whole.stream.receive(reads.stream());

    Receiver pieces;
    reads.forEachRead([&](QByteArrayView read) { pieces.stream.receive(read); });
    if (whole.recorder.shown != pieces.recorder.shown)
        abort();
    const MUDCompressionFigures a = whole.stream.figures();
    const MUDCompressionFigures b = pieces.stream.figures();
    if (a.wireBytes != b.wireBytes || a.inflatedBytes != b.inflatedBytes)
        abort();
    return 0;
}
