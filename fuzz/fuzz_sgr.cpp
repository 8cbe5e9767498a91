// Graphic-rendition parameters from the input, applied to one style state,
// then used to style text.
#include <QByteArray>
#include <cstdint>

#include "FuzzSupport.h"
#include "core/CVAttributedString.h"
#include "engine/decoding/MUDStringColoring.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUpFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QFont font(QStringLiteral("DejaVu Sans Mono"), 12);
    MUDStringColoring coloring;
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    // Sequences separated by NUL, each given as SGR parameters and as raw bytes.
    for (QByteArrayView part : QByteArray(input.toByteArray()).split('\0')) {
        coloring.prepareANSI(QByteArray("\x1b[") + part.toByteArray() + "m", font);
        coloring.prepareANSI(part, font);
    }
    CVAttributedString text;
    coloring.appendColoredText(text, u"a b\n", font);
    if (text.length() != 4)
        abort();
    (void)coloring.description();
    return 0;
}
