#include "notes/AlarmSound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSoundEffect>
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
    return QCoreApplication::applicationDirPath() + QStringLiteral("/BEEP");
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
