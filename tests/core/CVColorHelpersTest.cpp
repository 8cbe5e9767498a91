#include "core/CVColorHelpers.h"
#include "core/CVByteHelpers.h"

#include <gtest/gtest.h>

TEST(CVColorHelpers, HexToColorAcceptsSixDigitsWithOrWithoutHash)
{
    struct Row {
        const char* input;
        bool valid;
        QRgb rgb;
    };
    const Row rows[] = {
        {"911c0e", true, 0xff911c0e},
        {"#3FA12D", true, 0xff3fa12d},
        {"#000000", true, 0xff000000},
        {"", false, 0},
        {"#", false, 0},
        {"12345", false, 0},
        {"1234567", false, 0},
        {"zz0000", false, 0},
        {"#-12345", false, 0},
        {"+12345", false, 0},
        {"12 345", false, 0},
    };
    for (const Row& row : rows) {
        const QColor color = hexToColor(QString::fromLatin1(row.input));
        EXPECT_EQ(color.isValid(), row.valid) << row.input;
        if (row.valid) {
            EXPECT_EQ(color.rgba(), row.rgb) << row.input;
        }
    }
}

TEST(CVColorHelpers, HexadecimalValueRoundTripsAndDarkerIsDarker)
{
    const QColor color = hexToColor(u"2d1a31");
    EXPECT_EQ(hexadecimalValue(color), "#2d1a31");
    const QColor darker = darkerColor(color);
    EXPECT_LT(darker.value(), color.value());
    EXPECT_EQ(darker.hue(), color.hue());
}

TEST(CVByteHelpers, HexvalRendersEveryByte)
{
    EXPECT_EQ(hexval(QByteArray("\xff\xfb\x01", 3)), "fffb01");
    EXPECT_EQ(hexval(QByteArray()), "");
    EXPECT_EQ(hexval(QByteArray("\x00\x7f", 2)), "007f");
}
