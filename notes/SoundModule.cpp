#include "notes/SoundModule.h"

#include <QCoreApplication>
#include <QSoundEffect>
#include <QUrl>

namespace {

QSoundEffect *player(bool create)
{
    static QSoundEffect *effect = nullptr;
    if (!effect && create)
        effect = new QSoundEffect(qApp);
    return effect;
}

}

extern "C" Q_DECL_EXPORT void nopi_sound_play(const QString &path)
{
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

extern "C" Q_DECL_EXPORT void nopi_sound_stop()
{
    if (QSoundEffect *effect = player(false))
        effect->stop();
}
