// SPDX-License-Identifier: MIT
#include "notes/SoundModule.h"

#include <QCoreApplication>
#include <QSoundEffect>
#include <QThread>
#include <QUrl>

namespace {

// The sound server is reached from a thread of the player's own. Creating the
// player connects to PulseAudio or PipeWire and waits for the answer; a
// server that hangs would otherwise hold up every note, its blinking and the
// double-click that stops it, for libpulse's half-minute time-out.
class PlayerThread
{
public:
    static PlayerThread &instance()
    {
        static PlayerThread *thread = new PlayerThread; // ends with the program, see finish()
        return *thread;
    }

    // Runs `work` on the player's thread, in the order asked.
    template <typename Work>
    void post(Work work)
    {
        QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
    }

    QSoundEffect *effect(bool create)
    {
        if (!m_effect && create)
            m_effect = new QSoundEffect(m_context);
        return m_effect;
    }

private:
    PlayerThread()
    {
        m_thread.setObjectName(QStringLiteral("nopi-sound"));
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        m_thread.start();
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [this] { finish(); });
    }

    // The player goes with its thread, before the application it belongs to.
    // A thread still stuck with a hung server is left to the end of the
    // process rather than hold up the quit.
    void finish()
    {
        QObject *context = m_context;
        QMetaObject::invokeMethod(context, [context] { delete context; }, Qt::QueuedConnection);
        m_thread.quit();
        m_thread.wait(QDeadlineTimer(2000));
    }

    QThread m_thread;
    QObject *m_context = nullptr;
    QSoundEffect *m_effect = nullptr;
};

}

extern "C" Q_DECL_EXPORT void nopi_sound_play(const QString &path)
{
    PlayerThread &thread = PlayerThread::instance();
    thread.post([&thread, path] {
        QSoundEffect *effect = thread.effect(true);
        // A damaged file stays Loading for ever, and without an audio device
        // isPlaying() stays true; only a loaded sound that plays counts as playing.
        if (effect->isPlaying() && effect->status() == QSoundEffect::Ready)
            return;
        const QUrl source = QUrl::fromLocalFile(path);
        if (effect->source() != source)
            effect->setSource(source);
        effect->setLoopCount(1);
        effect->play();
    });
}

extern "C" Q_DECL_EXPORT void nopi_sound_stop()
{
    PlayerThread &thread = PlayerThread::instance();
    thread.post([&thread] {
        if (QSoundEffect *effect = thread.effect(false))
            effect->stop();
    });
}
