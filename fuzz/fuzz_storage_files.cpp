// Stored trigger, alias and connection files from arbitrary bytes: loading
// must never crash, and a record that loads writes a dictionary form that
// loads back to the same form. The first byte picks the kind; every fourth
// input also goes through a real file, as loading reads it.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/CVJSONHelpers.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/NullLogDelegate.h"

namespace {
template<class Build> void roundTrip(const QJsonObject& dictionary, Build build)
{
    const QJsonObject first = build(dictionary)->dictionaryRepresentation();
    if (build(first)->dictionaryRepresentation() != first)
        abort();
}

void throughFile(uint8_t kind, const QByteArray& bytes)
{
    static QTemporaryDir dir;
    const QString names[] = {QStringLiteral("t.trigger"), QStringLiteral("a.alias"),
                             QStringLiteral("c.mud/connection.json")};
    const QString path = dir.filePath(names[kind]);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(bytes);
    file.close();
    CVError error;
    if (kind == 0)
        MUDPreservation::loadTrigger(path, &error);
    else if (kind == 1)
        MUDPreservation::loadAlias(path, &error);
    else
        MUDPreservation::loadConnection(path, &error);
    // Loading never changes the file.
    QFile check(path);
    if (!check.open(QIODevice::ReadOnly) || check.readAll() != bytes)
        abort();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static NullLogDelegate quiet;
    CVLogHelper::sharedInstance().setDelegate(&quiet);
    if (size < 1)
        return 0;
    const uint8_t kind = data[0] % 3;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if ((data[0] >> 2) % 4 == 0)
        throughFile(kind, bytes);
    const auto dictionary = dictionaryFromJSONData(bytes);
    if (!dictionary)
        return 0;
    if (kind == 0)
        roundTrip(*dictionary,
                  [](const QJsonObject& d) { return MUDTrigger::triggerFromDictionaryRepresentation(d, "t"); });
    else if (kind == 1)
        roundTrip(*dictionary,
                  [](const QJsonObject& d) { return MUDAlias::aliasFromDictionaryRepresentation(d, "a"); });
    else
        roundTrip(*dictionary,
                  [](const QJsonObject& d) { return MUDConnection::connectionFromDictionaryRepresentation(d, "c"); });
    return 0;
}
