#include <QStringList>
#include <gtest/gtest.h>

#include "app/launch/MUDCommandLine.h"

namespace {

MUDCommandLine parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("quarrow"));
    return MUDCommandLine::parse(arguments);
}

} // namespace

TEST(CommandLine, HelpAndVersionNeedNothingElseAndWinOverMistakes)
{
    for (const QStringList& arguments : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--bogus", "--help"},
                                         QStringList{"Game", "--help", "--data-dir"}}) {
        const MUDCommandLine line = parse(arguments);
        EXPECT_TRUE(line.isValid()) << arguments.join(' ').toStdString();
        EXPECT_TRUE(line.showsHelp()) << arguments.join(' ').toStdString();
        EXPECT_TRUE(MUDCommandLine::wantsTextOnly(QStringList{"quarrow"} + arguments));
    }
    for (const QStringList& arguments : {QStringList{"--version"}, QStringList{"-v"}, QStringList{"-v", "--nope"}}) {
        const MUDCommandLine line = parse(arguments);
        EXPECT_TRUE(line.showsVersion()) << arguments.join(' ').toStdString();
        EXPECT_FALSE(line.showsHelp());
    }
    EXPECT_FALSE(MUDCommandLine::wantsTextOnly({"quarrow", "Game"}));
    EXPECT_FALSE(MUDCommandLine::wantsTextOnly({"quarrow", "--", "--help"})) << "after -- it is a title";
}

TEST(CommandLine, HelpTextNamesEveryOption)
{
    const QString help = MUDCommandLine::helpText();
    for (const char* expected : {"--help", "--version", "--data-dir <DIR>", "QUARROW_DATA_DIR", "telnet://", "TARGET"})
        EXPECT_TRUE(help.contains(QLatin1String(expected))) << expected;
}

TEST(CommandLine, TargetsKeepTheirSpacesAndOrder)
{
    const MUDCommandLine line = parse({"Alter Aeon", "telnet://127.0.0.1:4000", "  padded  ", "--", "--dashes"});
    ASSERT_TRUE(line.isValid()) << line.errorText().toStdString();
    EXPECT_EQ(line.targets(), QStringList({"Alter Aeon", "telnet://127.0.0.1:4000", "  padded  ", "--dashes"}));
    EXPECT_TRUE(line.dataDirectory().isEmpty());
}

TEST(CommandLine, DataDirectoryInEitherFormTheLastOneCounting)
{
    EXPECT_EQ(parse({"--data-dir", "/tmp/a b", "Game"}).dataDirectory(), "/tmp/a b");
    EXPECT_EQ(parse({"--data-dir=/tmp/x"}).dataDirectory(), "/tmp/x");
    EXPECT_EQ(parse({"--data-dir", "/one", "--data-dir", "/two"}).dataDirectory(), "/two");
    EXPECT_EQ(parse({"--data-dir", "/tmp/a", "Game"}).targets(), QStringList{"Game"});
}

TEST(CommandLine, MistakesAreRefusedWithAReason)
{
    struct Row {
        QStringList arguments;
        const char* mentions;
    };
    const Row rows[] = {
        {{"--bogus"}, "bogus"},           {{"-x", "Game"}, "x"},         {{"--data-dir"}, "data-dir"},
        {{"--data-dir", ""}, "data-dir"}, {{"--data-dir="}, "data-dir"},
    };
    for (const Row& row : rows) {
        const MUDCommandLine line = parse(row.arguments);
        EXPECT_FALSE(line.isValid()) << row.arguments.join(' ').toStdString();
        EXPECT_TRUE(line.errorText().contains(QLatin1String(row.mentions)))
            << row.arguments.join(' ').toStdString() << ": " << line.errorText().toStdString();
    }
}
