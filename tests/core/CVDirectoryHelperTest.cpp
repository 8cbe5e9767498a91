#include "core/CVDirectoryHelper.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CVDirectoryHelper, ListsOnlyImmediateSubfoldersSorted)
{
    QTemporaryDir dir;
    QDir root(dir.path());
    root.mkpath(QStringLiteral("b/nested"));
    root.mkpath(QStringLiteral("a"));
    QFile file(root.filePath(QStringLiteral("c.trigger")));
    file.open(QIODevice::WriteOnly);
    CVError error;
    EXPECT_EQ(CVDirectoryHelper::listFullDirectoriesInURL(dir.path(), &error),
              (QStringList{root.filePath(QStringLiteral("a")), root.filePath(QStringLiteral("b"))}));
    EXPECT_TRUE(error.description.isEmpty());
}

TEST(CVDirectoryHelper, MissingFolderGivesAnError)
{
    CVError error;
    EXPECT_TRUE(CVDirectoryHelper::listFullDirectoriesInURL(QStringLiteral("/nonexistent/x"), &error).isEmpty());
    EXPECT_FALSE(error.description.isEmpty());
}
