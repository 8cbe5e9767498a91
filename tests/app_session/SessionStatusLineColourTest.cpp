#include <QApplication>
#include <QPalette>
#include <QStyle>

#include "SessionFixture.h"
#include "app/views/MUDAppearance.h"
#include "engine/connection/MUDConnection.h"

namespace {

TEST(MUDAppearanceContrast, RatiosFollowRelativeLuminance)
{
    EXPECT_NEAR(MUDAppearance::contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(MUDAppearance::contrastRatio(Qt::white, Qt::black), 21.0, 1e-9);
    EXPECT_NEAR(MUDAppearance::contrastRatio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0, 1e-9);
    // #767676 is the lightest grey that reaches 4.5:1 on white.
    EXPECT_NEAR(MUDAppearance::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01);
    EXPECT_NEAR(MUDAppearance::relativeLuminance(QColor(0xff, 0, 0)), 0.2126, 1e-4);
}

// Status lines in the application's own appearance, read against the
// background the output view paints.
class SessionStatusLineColourTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        m_palette = QApplication::palette();
        m_styleName = QApplication::style()->name();
    }
    void TearDown() override
    {
        QApplication::setStyle(m_styleName);
        QApplication::setPalette(m_palette);
        SessionFixture::TearDown();
    }
    // The colours of the status lines a connect, a drop and a reconnect countdown show.
    QList<QColor> statusLineColours()
    {
        std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Colours %1").arg(++m_count));
        connection->setAutomaticallyReconnect(true);
        m_document = std::make_unique<MUDDocument>(&m_desktop);
        m_document->setCommandInput(&m_input);
        connectSession(connection);
        m_server.dropClient();
        EXPECT_TRUE(waitForOutput(QStringLiteral("Attempting to reconnect (attempt #1)")));
        QList<QColor> colours;
        for (const QString& line : {QStringLiteral("Attempting connection to"), QStringLiteral("Connected to"),
                                    QStringLiteral("Attempting to reconnect")}) {
            const qsizetype at = outputText().indexOf(line);
            EXPECT_GE(at, 0) << line.toStdString();
            colours.append(m_document->output().attributesAtIndex(at).foreground().color());
        }
        m_document->close();
        return colours;
    }

    QPalette m_palette;
    QString m_styleName;
    int m_count = 0;
};

TEST_F(SessionStatusLineColourTest, StatusLinesAreReadableOnTheDarkOutput)
{
    MUDAppearance::applyDarkAppearance(*qApp);
    const QColor background = QApplication::palette().color(QPalette::Base);
    ASSERT_LT(MUDAppearance::relativeLuminance(background), 0.05) << "the dark appearance is dark";
    for (const QColor& colour : statusLineColours()) {
        EXPECT_GE(MUDAppearance::contrastRatio(colour, background), 4.5) << colour.name().toStdString();
        EXPECT_GT(colour.blueF(), colour.redF() + 0.3) << "still a blue: " << colour.name().toStdString();
    }
}

TEST_F(SessionStatusLineColourTest, StatusLinesKeepTheirNavyOnALightOutput)
{
    QPalette light = QApplication::palette();
    light.setColor(QPalette::Base, Qt::white);
    QApplication::setPalette(light);
    for (const QColor& colour : statusLineColours())
        EXPECT_EQ(colour.name(), QStringLiteral("#013783"));
}

}
