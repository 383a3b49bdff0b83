#include "notes/AlarmSound.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

namespace {

int requests = 0;

// Created at the first alarm, not at start-up: the audio stack costs several
// MiB and a sound-server connection that most runs never use.
QSoundEffect *player(bool create)
{
    static QSoundEffect *effect = nullptr;
    if (!effect && create)
        effect = new QSoundEffect(qApp);
    return effect;
}

}

namespace AlarmSound {

void play(const QString &path)
{
    ++requests;
    if (!QFileInfo(path).isFile())
        return;
    QSoundEffect *effect = player(true);
    // A damaged file stays Loading for ever, and without an audio device
    // isPlaying() stays true; only a loaded sound that plays counts as playing.
    if (effect->isPlaying() && effect->status() == QSoundEffect::Ready)
        return;
    const QUrl source = QUrl::fromLocalFile(path);
    if (effect->source() != source)
        effect->setSource(source);
    effect->setLoopCount(1);
    effect->play();
}

QString soundFile()
{
    // Beside the program in the build tree, then the installed layout under
    // whatever prefix the program was installed to, then the data folders.
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString beside = programDir + QStringLiteral("/BEEP");
    const QString installed = QDir::cleanPath(programDir + QStringLiteral("/../share/nopi/BEEP"));
    for (const QString &path : {beside, installed}) {
        if (QFileInfo(path).isFile())
            return path;
    }
    const QString shared = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("nopi/BEEP"));
    return shared.isEmpty() ? beside : shared;
}

void stop()
{
    if (QSoundEffect *effect = player(false))
        effect->stop();
}

int playRequests()
{
    return requests;
}

}
