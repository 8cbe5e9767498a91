#include <gtest/gtest.h>

#include <QFontDatabase>

#include "app/views/MUDFontHelper.h"

namespace {

TEST(MUDFontHelper, TakesTheFirstInstalledFamilyElseTheSystemFixedFont)
{
    ASSERT_TRUE(QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Mono")));
    const QString missing = QStringLiteral("Quarrow No Such Font");
    ASSERT_FALSE(QFontDatabase::hasFamily(missing));
    const QString systemFixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();

    struct Row {
        const char* name;
        QStringList families;
        QString expected;
    };
    for (const Row& row :
         {Row{"SecondInstalled", {missing, QStringLiteral("DejaVu Sans Mono")}, QStringLiteral("DejaVu Sans Mono")},
          Row{"NoneInstalled", {missing}, systemFixed}, Row{"EmptyList", {}, systemFixed}}) {
        SCOPED_TRACE(row.name);
        const QFont font = MUDFontHelper::monospacedFontOfSize(9.5, row.families);
        EXPECT_EQ(font.family(), row.expected);
        EXPECT_EQ(font.pointSizeF(), 9.5);
    }
    // The default list: this test needs a machine without the two preferred
    // (Apple) faces, as the project's machines are; it then lands on DejaVu
    // Sans Mono.
    ASSERT_FALSE(QFontDatabase::hasFamily(QStringLiteral("SFMono-Regular")));
    ASSERT_FALSE(QFontDatabase::hasFamily(QStringLiteral("Monaco")));
    EXPECT_EQ(MUDFontHelper::monospacedFontOfSize(12).family(), QStringLiteral("DejaVu Sans Mono"));
}

}
