// SPDX-License-Identifier: MIT
#include "store/SyncIdentity.h"

#include "store/Clock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>

namespace Sync {

namespace {

std::string machineName;
std::int64_t lastChange = 0;

QByteArray computerDigest()
{
    QFile file(QStringLiteral("/etc/machine-id"));
    QByteArray id = file.open(QIODevice::ReadOnly) ? file.read(64).trimmed() : QByteArray();
    return QCryptographicHash::hash(id, QCryptographicHash::Sha256).toHex().left(16);
}

std::string randomName()
{
    static constexpr char Characters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name(8, '0');
    for (char &c : name)
        c = Characters[QRandomGenerator::system()->bounded(36)];
    return name;
}

std::string findName()
{
    const QString path = StateFolder() + QStringLiteral("/machine");
    const QByteArray computer = computerDigest();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> words = file.read(256).simplified().split(' ');
        if (words.size() == 2 && words[1] == computer && IsMachineName(words[0].toStdString()))
            return words[0].toStdString();
    }
    // Written once per computer; without the file (a read-only home) each
    // run is a machine of its own, which only makes the stamps longer.
    const std::string name = randomName();
    QDir().mkpath(StateFolder());
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        out.setDirectWriteFallback(true);
        out.write(QByteArray::fromStdString(name) + ' ' + computer + '\n');
        out.commit();
    }
    return name;
}

}

const std::string &ThisMachine()
{
    if (machineName.empty())
        machineName = findName();
    return machineName;
}

void SetThisMachine(const std::string &name)
{
    machineName = name;
    lastChange = 0;
}

QString StateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/nopi");
}

Dot NewChange()
{
    lastChange = std::max<std::int64_t>(lastChange + 1, Clock::now().toMSecsSinceEpoch());
    return Dot{ThisMachine(), lastChange};
}

void SeenStamp(const Stamp &stamp)
{
    lastChange = std::max(lastChange, stamp.seenOf(ThisMachine()));
}

}
