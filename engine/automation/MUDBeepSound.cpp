#include "engine/automation/MUDBeepSound.h"

#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cmath>
#include <memory>

#include "core/CVLogHelper.h"

namespace {

// A 0.15 s, 880 Hz tone as 16-bit mono PCM in a WAV container.
QByteArray beepWave()
{
    constexpr int rate = 22050;
    constexpr int samples = rate * 15 / 100;
    QByteArray pcm;
    QDataStream pcmStream(&pcm, QIODevice::WriteOnly);
    pcmStream.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < samples; ++i) {
        const double fade = 1.0 - double(i) / samples;
        pcmStream << qint16(std::sin(2.0 * M_PI * 880.0 * i / rate) * 12000.0 * fade);
    }
    QByteArray wave;
    QDataStream out(&wave, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), static_cast<int>(pcm.size()));
    return wave;
}

struct LoadedBeep {
    QString player;
    std::unique_ptr<QTemporaryFile> file;
};

const LoadedBeep& loadedBeep()
{
    static const LoadedBeep beep = [] {
        LoadedBeep loaded;
        for (const char* name : {"paplay", "pw-play", "aplay"}) {
            loaded.player = QStandardPaths::findExecutable(QString::fromLatin1(name));
            if (!loaded.player.isEmpty())
                break;
        }
        if (loaded.player.isEmpty()) {
            CVLog(QStringLiteral("MUDBeepSound: no sound player found, beep stays silent"));
            return loaded;
        }
        loaded.file =
            std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("quarrow-beep-XXXXXX.wav")));
        if (!loaded.file->open() || loaded.file->write(beepWave()) < 0 || !loaded.file->flush())
            loaded.player.clear();
        return loaded;
    }();
    return beep;
}

}

void MUDBeepSound::play()
{
    const LoadedBeep& beep = loadedBeep();
    if (!beep.player.isEmpty())
        QProcess::startDetached(beep.player, {beep.file->fileName()});
}
