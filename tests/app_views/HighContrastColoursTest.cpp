#include <QTextLayout>
#include <gtest/gtest.h>

#include "OutputViewFixture.h"
#include "app/session/MUDHTMLExporter.h"
#include "app/views/MUDAppearance.h"
#include "engine/decoding/MUDColors.h"

// "High-contrast colours" brightens the ANSI palette's dark entries where
// they are drawn; the output, and so every export, keeps the server's colours.
namespace {
const QColor kDarkBase(0x1e, 0x1f, 0x24);

QList<QColor> darkEntries()
{
    const MUDColors& colors = MUDColors::sharedInstance();
    return {colors.colorFromCode(34, false, false),
            colors.colorFromCode(34, true, false),
            colors.colorFromCode(30, false, false),
            colors.colorFromCode(30, true, false),
            colors.colorFrom8Bit(4),
            colors.colorFrom8Bit(8),
            colors.colorFrom8Bit(12)};
}

double strongestContrast(const QImage& image, const QColor& background)
{
    double strongest = 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            strongest = std::max(strongest, MUDAppearance::contrastRatio(image.pixelColor(x, y), background));
    return strongest;
}

class HighContrastColours : public OutputViewFixture {
protected:
    void SetUp() override
    {
        OutputViewFixture::SetUp();
        QPalette dark = textView().palette();
        dark.setColor(QPalette::Base, kDarkBase);
        textView().setPalette(dark);
    }
    void setHighContrast(bool on)
    {
        textView().layoutManager().setHighContrast(on, kDarkBase);
        textView().update();
    }
};
} // namespace

TEST(HighContrastPalette, DarkEntriesReadOnTheDarkOutputAndOthersStay)
{
    for (const QColor& colour : darkEntries()) {
        const QColor drawn = MUDAppearance::highContrastColor(colour, kDarkBase);
        EXPECT_GE(MUDAppearance::contrastRatio(drawn, kDarkBase), 4.5) << colour.name().toStdString();
        // On black too, where an export or a black background run puts them.
        EXPECT_GE(MUDAppearance::contrastRatio(MUDAppearance::highContrastColor(colour, Qt::black), Qt::black), 4.5);
    }
    const QColor green = MUDColors::sharedInstance().colorFromCode(32, false, false);
    EXPECT_EQ(MUDAppearance::highContrastColor(green, kDarkBase), green);
}

TEST_F(HighContrastColours, BrightensWhatIsDrawnButNotWhatIsStoredOrExported)
{
    const QColor blue = MUDColors::sharedInstance().colorFromCode(34, false, false);
    QTextCharFormat format;
    format.setForeground(blue);
    append(QStringLiteral("WWWW MMMM the blue room\r\n"), format);
    const double before = strongestContrast(grabText(), kDarkBase);
    EXPECT_LT(before, 2.0) << "dark blue on the dark output is hard to read";

    setHighContrast(true);
    EXPECT_GE(strongestContrast(grabText(), kDarkBase), 4.0);
    const QList<QTextLayout::FormatRange> drawn = textView().layoutManager().layout(0).formats();
    ASSERT_FALSE(drawn.isEmpty());
    EXPECT_GE(MUDAppearance::contrastRatio(drawn.front().format.foreground().color(), kDarkBase), 4.5);

    // Stored and exported as the server sent it.
    EXPECT_EQ(model.attributesAtIndex(0).foreground().color(), blue);
    const QString html = MUDHTMLExporter::xmlStringRepresentation(model);
    EXPECT_TRUE(html.contains(blue.name())) << html.toStdString();
    EXPECT_FALSE(html.contains(drawn.front().format.foreground().color().name()));

    setHighContrast(false);
    EXPECT_LT(strongestContrast(grabText(), kDarkBase), 2.0);
}
