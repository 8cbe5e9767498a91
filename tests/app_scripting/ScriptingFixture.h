#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class MUDConnection;

// A fresh storage folder with one stored connection, and helpers that
// prepare its script folders the way the program writes them.
class ScriptingFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The stored connection titled `title` (with `loginScript`).
    std::shared_ptr<MUDConnection> storedConnection(const QString& title, const QString& loginScript = {},
                                                    quint16 port = 4000);
    QString triggersFolder() const;
    QString aliasesFolder() const;
    QString notesFolder() const;
    // Writes a trigger file into `folder` (created when missing).
    void writeTrigger(const QString& folder, const QString& title, const QString& matchString = {},
                      int matchType = 0) const;
    void writeAlias(const QString& folder, const QString& title, const QString& matchString = {}) const;
    void writeNote(const QString& folder, const QString& title, const QString& contents) const;
    static QByteArray readFile(const QString& path);

    QTemporaryDir m_storage;
    std::shared_ptr<MUDConnection> m_connection;
};
