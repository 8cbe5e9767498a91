#include "engine/storage/MUDUserSettings.h"

#include <QFileInfo>

#include "StorageTestSupport.h"
#include "TestSupport.h"

namespace {

struct StoredValueRow {
    const char* name;
    QByteArray fileContent;
    QString family;
    int size;
    bool matchEveryLine;
    // The key a log line names, or empty when nothing is ignored.
    QString ignoredKey;
};

class UserSettingsTest : public StorageTest {
protected:
    MUDUserSettings& settings() { return MUDUserSettings::sharedInstance(); }
    QString preferencesFile() const { return path(QStringLiteral("preferences.ini")); }
};

class StoredValues : public UserSettingsTest, public ::testing::WithParamInterface<StoredValueRow> { };

} // namespace

TEST_F(UserSettingsTest, WithoutAFileEveryValueIsItsDefaultAndNothingIsWritten)
{
    EXPECT_EQ(settings().outputFontFamily(), QString());
    EXPECT_EQ(settings().outputFontSize(), 0);
    EXPECT_FALSE(settings().matchEveryLine());
    EXPECT_EQ(MUDUserSettings::filePath(), preferencesFile());
    EXPECT_FALSE(QFileInfo::exists(preferencesFile()));
}

TEST_P(StoredValues, ReadAsStoredOrAsTheDefaultWithALogLine)
{
    const StoredValueRow& row = GetParam();
    writeFile(preferencesFile(), row.fileContent);
    LogRecorder log;
    EXPECT_EQ(settings().outputFontFamily(), row.family);
    EXPECT_EQ(settings().outputFontSize(), row.size);
    EXPECT_EQ(settings().matchEveryLine(), row.matchEveryLine);
    const QStringList ignored = log.lines().filter(QStringLiteral("MUDUserSettings - Ignored"));
    if (row.ignoredKey.isEmpty()) {
        EXPECT_TRUE(ignored.isEmpty()) << ignored.join('\n').toStdString();
    } else {
        ASSERT_EQ(ignored.size(), 1) << log.lines().join('\n').toStdString();
        EXPECT_TRUE(ignored.first().contains(row.ignoredKey)) << ignored.first().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StoredValues,
    ::testing::Values(
        StoredValueRow{"AllThreeGood",
                       "[output]\nfontFamily=Liberation Mono\nfontSize=14\n[triggers]\nmatchEveryLine=true\n",
                       "Liberation Mono", 14, true, ""},
        StoredValueRow{"SpacesAroundValues", "[output]\nfontSize= 9 \n[triggers]\nmatchEveryLine= False \n", "", 9,
                       false, ""},
        StoredValueRow{"OneAndZeroAsBooleans", "[triggers]\nmatchEveryLine=1\n", "", 0, true, ""},
        StoredValueRow{"SmallestAndLargestSizes", "[output]\nfontSize=6\n", "", 6, false, ""},
        StoredValueRow{"LargestSize", "[output]\nfontSize=72\n", "", 72, false, ""},
        StoredValueRow{"SizeZero", "[output]\nfontSize=0\n", "", 0, false, "output/fontSize"},
        StoredValueRow{"SizeFiveHundred", "[output]\nfontSize=500\n", "", 0, false, "output/fontSize"},
        StoredValueRow{"SizeNegative", "[output]\nfontSize=-12\n", "", 0, false, "output/fontSize"},
        StoredValueRow{"SizeAWord", "[output]\nfontSize=big\n", "", 0, false, "output/fontSize"},
        StoredValueRow{"SizeAFraction", "[output]\nfontSize=12.5\n", "", 0, false, "output/fontSize"},
        StoredValueRow{"SizeAList", "[output]\nfontSize=12, 14\n", "", 0, false, "output/fontSize"},
        StoredValueRow{"SizeHuge", "[output]\nfontSize=99999999999999999999\n", "", 0, false, "output/fontSize"},
        StoredValueRow{"FamilyAList", "[output]\nfontFamily=Mono, Sans\nfontSize=11\n", "", 11, false,
                       "output/fontFamily"},
        StoredValueRow{"MatchEveryLineMaybe", "[triggers]\nmatchEveryLine=maybe\n", "", 0, false,
                       "triggers/matchEveryLine"},
        StoredValueRow{"MatchEveryLineTwo", "[triggers]\nmatchEveryLine=2\n", "", 0, false, "triggers/matchEveryLine"},
        StoredValueRow{"NotAnIniFileAtAll", QByteArray("\x00\xff\xfe garbage [[[ =", 18), "", 0, false, ""}),
    [](const ::testing::TestParamInfo<StoredValueRow>& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(UserSettingsTest, ChangesAreWrittenToTheFileAndReadBackInANewRun)
{
    int fontChanges = 0;
    QList<bool> modeChanges;
    QObject receiver;
    QObject::connect(&settings(), &MUDUserSettings::outputFontChanged, &receiver, [&] { ++fontChanges; });
    QObject::connect(&settings(), &MUDUserSettings::matchEveryLineChanged, &receiver,
                     [&](bool on) { modeChanges << on; });
    const quint64 before = settings().generation();
    settings().setOutputFontFamily(QStringLiteral("Liberation Mono"));
    EXPECT_TRUE(settings().setOutputFontSize(18));
    settings().setMatchEveryLine(true);
    EXPECT_EQ(fontChanges, 2);
    EXPECT_EQ(modeChanges, QList<bool>{true});
    EXPECT_GT(settings().generation(), before);

    const QByteArray written = readFile(preferencesFile());
    EXPECT_TRUE(written.contains("[output]\nfontFamily=Liberation Mono\nfontSize=18\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("[triggers]\nmatchEveryLine=true\n")) << written.toStdString();

    // Another data folder has its own preferences; coming back reads the file again.
    QTemporaryDir other;
    qputenv("QUARROW_DATA_DIR", other.path().toLocal8Bit());
    EXPECT_EQ(settings().outputFontSize(), 0);
    EXPECT_FALSE(settings().matchEveryLine());
    qputenv("QUARROW_DATA_DIR", m_dir.path().toLocal8Bit());
    EXPECT_EQ(settings().outputFontFamily(), "Liberation Mono");
    EXPECT_EQ(settings().outputFontSize(), 18);
    EXPECT_TRUE(settings().matchEveryLine());
}

TEST_F(UserSettingsTest, SettingTheSameValueAgainChangesNothing)
{
    settings().setMatchEveryLine(false);
    EXPECT_FALSE(QFileInfo::exists(preferencesFile())) << "false is the default: nothing to write";
    EXPECT_TRUE(settings().setOutputFontSize(12));
    int fontChanges = 0;
    QObject receiver;
    QObject::connect(&settings(), &MUDUserSettings::outputFontChanged, &receiver, [&] { ++fontChanges; });
    const quint64 generation = settings().generation();
    EXPECT_TRUE(settings().setOutputFontSize(12));
    EXPECT_EQ(fontChanges, 0);
    EXPECT_EQ(settings().generation(), generation);
}

TEST_F(UserSettingsTest, SizesOutOfRangeAreRefusedAndNotWritten)
{
    EXPECT_TRUE(settings().setOutputFontSize(10));
    for (const int size : {0, 5, 73, 500, -1}) {
        EXPECT_FALSE(settings().setOutputFontSize(size)) << size;
        EXPECT_EQ(settings().outputFontSize(), 10) << size;
    }
    EXPECT_TRUE(readFile(preferencesFile()).contains("fontSize=10\n"));
}

TEST_F(UserSettingsTest, AnEmptyFamilyRemovesTheKey)
{
    settings().setOutputFontFamily(QStringLiteral("DejaVu Sans Mono"));
    EXPECT_TRUE(readFile(preferencesFile()).contains("fontFamily=DejaVu Sans Mono"));
    settings().setOutputFontFamily(QStringLiteral("  "));
    EXPECT_EQ(settings().outputFontFamily(), QString());
    EXPECT_FALSE(readFile(preferencesFile()).contains("fontFamily"));
}
