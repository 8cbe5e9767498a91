// Server bytes as the session takes them: decoded, styled into text that
// keeps one piece per style, and appended to an output model, batch by
// batch. Every way of reading the model must give the runs of the same text
// styled into an attributed string with a run per gap of white space.
#include <QByteArray>
#include <QFont>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "core/CVAttributedString.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStringColoring.h"
#include "engine/decoding/MUDStyledText.h"

namespace {
class SessionLikeDelegate : public ANSIDataProcessorDelegate {
public:
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        static const QFont font(QStringLiteral("DejaVu Sans Mono"), 12);
        const MUDStyledText batch = coloring.styleBatch(results, font);
        model.append(batch);
        reference.append(batch.attributedString());
    }
    MUDStringColoring coloring;
    MUDOutputModel model;
    CVAttributedString reference;
};

void check(bool condition)
{
    if (!condition)
        abort();
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUpFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SessionLikeDelegate session;
    ANSIDataProcessor processor(&session);
    // Reads of 1 to 64 bytes, sized by the input itself.
    const char* bytes = reinterpret_cast<const char*>(data);
    for (size_t offset = 0; offset < size;) {
        const size_t take = std::min<size_t>(1 + data[offset] % 64, size - offset);
        processor.processData(QByteArrayView(bytes + offset, qsizetype(take)));
        offset += take;
    }
    const MUDOutputModel& model = session.model;
    const CVAttributedString& reference = session.reference;
    const CVRange whole{0, reference.length()};
    check(model.attributedSubstring(whole) == reference);

    CVAttributedString split;
    model.enumerateStyleRuns(whole, [&](const QTextCharFormat& text, const QTextCharFormat& whitespace, CVRange run) {
        MUDStyledText::forEachStretch(model.text(run), [&](qsizetype from, qsizetype length, bool space) {
            split.append(model.text({run.location + from, length}), space ? whitespace : text);
        });
    });
    check(split == reference);

    for (qsizetype index = 0; index < reference.length(); index += 1 + index / 3) {
        CVRange modelRange, referenceRange;
        check(model.attributesAtIndex(index, &modelRange) == reference.attributesAtIndex(index, &referenceRange));
        check(modelRange == referenceRange);
    }
    return 0;
}
