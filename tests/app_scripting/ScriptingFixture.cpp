#include "ScriptingFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include "TestSupport.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(data);
}

}

void ScriptingFixture::SetUp()
{
    ASSERT_TRUE(m_storage.isValid());
    qputenv("QUARROW_DATA_DIR", m_storage.path().toLocal8Bit());
    m_connection = storedConnection(QStringLiteral("Realm"), QStringLiteral("say hello"));
}

void ScriptingFixture::TearDown()
{
    spinEventLoop(10);
}

std::shared_ptr<MUDConnection> ScriptingFixture::storedConnection(const QString& title, const QString& loginScript,
                                                                  quint16 port)
{
    MUDConnection draft;
    auto copy = std::make_shared<MUDConnection>();
    copy->setTitle(title);
    copy->setHost(QStringLiteral("127.0.0.1"));
    copy->setPort(port);
    copy->setLoginScript(loginScript);
    draft.setModifiedInstance(copy);
    EXPECT_TRUE(MUDPreservation::saveConnection(draft));
    for (const auto& connection : MUDPreservation::loadConnections()) {
        if (connection->title() == title)
            return connection;
    }
    ADD_FAILURE() << "connection not stored";
    return copy;
}

QString ScriptingFixture::triggersFolder() const
{
    return MUDPreservation::urlForTriggersInConnection(*m_connection);
}

QString ScriptingFixture::aliasesFolder() const
{
    return MUDPreservation::urlForAliasesInConnection(*m_connection);
}

QString ScriptingFixture::notesFolder() const
{
    return MUDPreservation::urlForNotesInConnection(*m_connection);
}

void ScriptingFixture::writeTrigger(const QString& folder, const QString& title, const QString& matchString,
                                    int matchType) const
{
    MUDTrigger trigger;
    trigger.setTitle(title);
    trigger.setMatchString(matchString);
    trigger.setMatchType(matchType);
    trigger.setAction(QStringLiteral("app.log('%1')").arg(title));
    writeFile(folder + QStringLiteral("/") + title + QStringLiteral(".trigger"),
              QJsonDocument(trigger.dictionaryRepresentation()).toJson());
}

void ScriptingFixture::writeAlias(const QString& folder, const QString& title, const QString& matchString) const
{
    MUDAlias alias;
    alias.setTitle(title);
    alias.setMatchString(matchString);
    writeFile(folder + QStringLiteral("/") + title + QStringLiteral(".alias"),
              QJsonDocument(alias.dictionaryRepresentation()).toJson());
}

void ScriptingFixture::writeNote(const QString& folder, const QString& title, const QString& contents) const
{
    writeFile(folder + QStringLiteral("/") + title + QStringLiteral(".txt"), contents.toUtf8());
}

QByteArray ScriptingFixture::readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
