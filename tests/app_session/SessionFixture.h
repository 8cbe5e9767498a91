#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "LoopbackServer.h"
#include "TestSupport.h"
#include "app/session/MUDDocument.h"
#include "app/views/MUDCommandInput.h"
#include "tests/support/doubles/RecordingDesktopIntegration.h"

class MUDConnection;

// A plain input line.
class RecordingCommandInput : public MUDCommandInput {
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }
    void selectAll() override { ++selections; }

    QString m_text;
    int selections = 0;
};

// A session in a fresh storage folder, with a loopback game server.
class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A connection stored under `title` that points at the loopback server.
    std::shared_ptr<MUDConnection> storedConnection(const QString& title, const QString& user = {},
                                                    const QString& password = {}, const QString& loginScript = {});
    // Stores a trigger for `connection` that runs `action` (plain text unless `matchType` says otherwise).
    void storeTrigger(const MUDConnection& connection, const QString& title, const QString& matchString,
                      const QString& action, int32_t matchType = 0);
    // Stores a keyword alias for `connection` that runs `action`, and reloads
    // the connection's aliases.
    void storeAlias(MUDConnection& connection, const QString& title, const QString& matchString, const QString& action,
                    bool isDebug = false);
    // Types a line into the input line and presses Return.
    void type(const QString& line)
    {
        m_input.m_text = line;
        m_document->MUDCommandTextViewReturnKey();
    }
    // Creates the session for `connection` and connects it, waiting for the server to accept.
    void connectSession(const std::shared_ptr<MUDConnection>& connection);
    QString outputText() const { return m_document->output().text({0, m_document->output().length()}); }
    QString outputAfter(qsizetype start) const
    {
        return m_document->output().text({start, m_document->output().length() - start});
    }
    bool waitForOutput(const QString& text, int timeoutMs = 5000);
    bool waitForServerLine(const QByteArray& line, int timeoutMs = 5000);

    QTemporaryDir m_storage;
    LoopbackServer m_server;
    RecordingDesktopIntegration m_desktop;
    RecordingCommandInput m_input;
    std::unique_ptr<MUDDocument> m_document;
};
