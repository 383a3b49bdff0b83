// SPDX-License-Identifier: MIT
#include "notes/AlarmSound.h"

#include "notes/SoundModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStandardPaths>
#include <QtDebug>

namespace {

int requests = 0;

struct Player
{
    bool tried = false;
    // Kept for the whole run: the player it made plays on to the end.
    QLibrary *library = nullptr;
    SoundModule::Play play = nullptr;
    SoundModule::Stop stop = nullptr;
};

Player player;

// Loaded at the first alarm, not at start-up: the audio stack costs several
// MiB and a sound-server connection that most runs never use. A module that
// is missing or cannot load leaves the alarm silent, said once.
bool loadPlayer()
{
    if (player.tried)
        return player.play != nullptr;
    player.tried = true;
    const QString file = AlarmSound::moduleFile();
    if (file.isEmpty()) {
        qWarning().noquote() << QStringLiteral("nopi: no sound module (%1) beside the program or in %2; alarms are silent")
                                        .arg(QStringLiteral(NOPI_SOUND_MODULE_NAME),
                                             QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                                             + QStringLiteral(NOPI_SOUND_MODULE_DIR)));
        return false;
    }
    auto *library = new QLibrary(file);
    const auto play = reinterpret_cast<SoundModule::Play>(library->resolve(SoundModule::PlaySymbol));
    const auto stop = reinterpret_cast<SoundModule::Stop>(library->resolve(SoundModule::StopSymbol));
    if (!play || !stop) {
        qWarning().noquote() << QStringLiteral("nopi: cannot load the sound module; alarms are silent:")
                             << library->errorString();
        delete library;
        return false;
    }
    player.library = library;
    player.play = play;
    player.stop = stop;
    return true;
}

}

namespace AlarmSound {

void play(const QString &path)
{
    ++requests;
    if (!QFileInfo(path).isFile())
        return;
    if (loadPlayer())
        player.play(path);
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

QString moduleFile()
{
    const QString programDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString name = QStringLiteral(NOPI_SOUND_MODULE_NAME);
    const QString beside = programDir + name;
    const QString installed =
            QDir::cleanPath(programDir + QStringLiteral(NOPI_SOUND_MODULE_DIR) + QLatin1Char('/') + name);
    for (const QString &path : {beside, installed}) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

void stop()
{
    // Nothing can be playing before the first alarm loaded the player.
    if (player.stop)
        player.stop();
}

int playRequests()
{
    return requests;
}

}
