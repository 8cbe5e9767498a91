#include "core/CVJSONHelpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}
}

TEST(CVJSONHelpers, JsonStringRoundTripsThroughAFile)
{
    QTemporaryDir dir;
    const QVariantMap map{{QStringLiteral("action"), QStringLiteral("appendText")},
                          {QStringLiteral("entries"), QVariantList{1, QStringLiteral("é\"\n")}}};
    const QString path = writeFile(dir, QStringLiteral("a.json"), jsonString(map).toUtf8());
    CVError error;
    const auto read = dictionaryFromJSONURL(path, &error);
    ASSERT_TRUE(read.has_value()) << error.description.toStdString();
    EXPECT_EQ(read->toVariantMap(), map);
    EXPECT_FALSE(jsonString(map).contains(QLatin1Char('\n'))) << "compact form";
}

TEST(CVJSONHelpers, MalformedFilesGiveNothingAndAnErrorAndStayUntouched)
{
    QTemporaryDir dir;
    const QByteArray inputs[] = {
        "", "{", "[1,2]", "\"text\"", "{\"a\":}", QByteArray("\xff\xfe{}", 4), QByteArray(100000, '[')};
    int i = 0;
    for (const QByteArray& content : inputs) {
        const QString path = writeFile(dir, QStringLiteral("bad%1.json").arg(i++), content);
        CVError error;
        EXPECT_FALSE(dictionaryFromJSONURL(path, &error).has_value()) << content.left(20).constData();
        EXPECT_FALSE(error.description.isEmpty());
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        EXPECT_EQ(file.readAll(), content);
    }
    CVError error;
    EXPECT_FALSE(dictionaryFromJSONURL(dir.filePath(QStringLiteral("missing.json")), &error).has_value());
    EXPECT_FALSE(dictionaryFromJSONURL(dir.path(), &error).has_value()) << "a folder is not a file";
    EXPECT_FALSE(dictionaryFromJSONURL(dir.path(), nullptr).has_value()) << "the error is optional";
}
