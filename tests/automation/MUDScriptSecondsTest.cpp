#include "engine/automation/MUDScriptSeconds.h"

#include <gtest/gtest.h>

#include "CommaDecimalLocale.h"

namespace {

struct Row {
    const char* text;
    double seconds;
};

// Lenient like a text-to-number conversion, a full stop as the decimal
// mark, and never more than a day.
const Row kRows[] = {
    {"0.5", 0.5},
    {" 2 ", 2},
    {"1.5s", 1.5},
    {"+3", 3},
    {"abc", 0},
    {"", 0},
    {"0,5", 0},
    {"-3", 0},
    {"nan", 0},
    {"inf", MUDScriptSeconds::Maximum},
    {"Infinity", MUDScriptSeconds::Maximum},
    {"1e300", MUDScriptSeconds::Maximum},
    {"1e400", MUDScriptSeconds::Maximum},
    {"1e10", MUDScriptSeconds::Maximum},
    {"86399.5", 86399.5},
};

void expectRows()
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.text);
        EXPECT_DOUBLE_EQ(MUDScriptSeconds::fromText(QString::fromLatin1(row.text)), row.seconds);
    }
}

}

TEST(MUDScriptSeconds, ReadsLenientlyWithAFullStopAndClamps)
{
    expectRows();
}

TEST(MUDScriptSeconds, TheUsersCommaDecimalLocaleChangesNothing)
{
    CommaDecimalLocale locale;
    ASSERT_TRUE(locale.isActive()) << locale.errorText().toStdString();
    expectRows();
}
