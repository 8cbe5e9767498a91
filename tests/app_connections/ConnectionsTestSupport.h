#pragma once

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class MUDConnection;
class QMessageBox;
class QWidget;

// Every test gets its own empty data folder.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString dataFolder() const { return m_dir.path(); }

    // Stores a connection as the editor would and returns the stored record.
    static std::shared_ptr<MUDConnection> storeConnection(const QString& title, const QString& host, quint64 port,
                                                          const QString& connectionId);
    static QStringList storedTitles();

private:
    QTemporaryDir m_dir;
};

// The visible message box among `parent`'s children, or null.
QMessageBox* shownMessageBox(QWidget* parent);
// Clicks the button titled `title` of `box`; false when it has none.
bool clickButton(QMessageBox* box, const QString& title);
