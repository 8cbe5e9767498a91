#include "engine/decoding/ANSIDataProcessor.h"

#include <QFont>
#include <gtest/gtest.h>

#include "TestSupport.h"

TEST(ANSIDataProcessor, CreateAttributedStringStylesTheWholeBuffer)
{
    LogRecorder quiet;
    const QFont font(QStringLiteral("DejaVu Sans Mono"), 12);
    const CVAttributedString text = ANSIDataProcessor::createAttributedStringWithData(
        "\x1b[1;31mred\x1b[0m\r\n\xff\xfb\x01plain\xc3\xa9\x1b[4", font);
    EXPECT_EQ(text.string(), "red\nplain");
    EXPECT_EQ(text.attributesAtIndex(0).foreground().color().name(), "#ff0000");
    EXPECT_EQ(text.attributesAtIndex(4).foreground().color().name(), "#ffffff");
    EXPECT_EQ(text.attributesAtIndex(4).font().pointSize(), 12);
}
