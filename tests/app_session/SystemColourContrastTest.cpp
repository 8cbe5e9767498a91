#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <gtest/gtest.h>

#include "app/session/MUDDocument.h"
#include "app/views/MUDAppearance.h"
#include "engine/decoding/MUDColors.h"

// The session's own lines (echo, log, error, debug, status, disconnect)
// must read at 4.5:1 on the output's background in either appearance.
namespace {
class SystemColourContrast : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_palette = QApplication::palette();
        m_styleName = QApplication::style()->name();
    }
    void TearDown() override
    {
        QApplication::setStyle(m_styleName);
        QApplication::setPalette(m_palette);
    }

    static QList<std::pair<const char*, QColor>> systemColours()
    {
        return {{"echo", MUDDocument::localCommandColor()},
                {"error", MUDDocument::errorMessageColor()},
                {"debug", MUDDocument::debugMessageColor()},
                {"status", MUDDocument::triggerDebugColor()},
                {"disconnect", MUDDocument::disconnectColor()}};
    }
    static void expectReadable(const QColor& background)
    {
        for (const auto& [name, colour] : systemColours())
            EXPECT_GE(MUDAppearance::contrastRatio(colour, background), MUDAppearance::MinimumTextContrast)
                << name << " " << colour.name().toStdString() << " on " << background.name().toStdString();
    }

    QPalette m_palette;
    QString m_styleName;
};
} // namespace

TEST_F(SystemColourContrast, ReadableOnTheDarkOutput)
{
    MUDAppearance::applyDarkAppearance(*qApp);
    expectReadable(QApplication::palette().color(QPalette::Base));
    // Colours that read already keep their own tone: only the plain red of a disconnect needed lifting.
    EXPECT_EQ(MUDDocument::localCommandColor(), QColor(MUDColors::SystemOrange));
    EXPECT_EQ(MUDDocument::errorMessageColor(), QColor(MUDColors::SystemRed));
}

TEST_F(SystemColourContrast, ReadableOnALightOutput)
{
    QPalette light = QApplication::palette();
    light.setColor(QPalette::Base, Qt::white);
    QApplication::setPalette(light);
    expectReadable(Qt::white);
    // Darkened, still the same hue: an echo stays orange, an error red.
    EXPECT_NEAR(MUDDocument::localCommandColor().hslHueF(), QColor(MUDColors::SystemOrange).hslHueF(), 0.02);
    EXPECT_NEAR(MUDDocument::errorMessageColor().hslHueF(), QColor(MUDColors::SystemRed).hslHueF(), 0.02);
}

TEST(ReadableColor, LiftsOrDarkensUntilItReadsAndKeepsWhatReads)
{
    const QColor dark(0x1e, 0x1f, 0x24);
    const QColor navy(0x00, 0x1a, 0xac);
    ASSERT_LT(MUDAppearance::contrastRatio(navy, dark), 2.0);
    const QColor lifted = MUDAppearance::readableColor(navy, dark);
    EXPECT_GE(MUDAppearance::contrastRatio(lifted, dark), 4.5);
    EXPECT_GT(lifted.blueF(), lifted.redF()) << "still blue: " << lifted.name().toStdString();
    // Near-misses stop just past the threshold instead of going all the way to white.
    EXPECT_LT(MUDAppearance::contrastRatio(lifted, dark), 5.0);
    EXPECT_EQ(MUDAppearance::readableColor(Qt::white, dark), QColor(Qt::white));
    EXPECT_GE(
        MUDAppearance::contrastRatio(MUDAppearance::readableColor(QColor(0xff, 0xd6, 0x0a), Qt::white), Qt::white),
        4.5);
    // A background in the middle still ends readable, whichever way it goes.
    const QColor grey(0x77, 0x77, 0x77);
    EXPECT_GE(MUDAppearance::contrastRatio(MUDAppearance::readableColor(grey, grey), grey), 4.5);
}
