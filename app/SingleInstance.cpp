#include "app/SingleInstance.h"

#include <QDir>

#include <unistd.h>

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFilePath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/nopi.lock");
    return QDir::tempPath() + QStringLiteral("/nopi-%1.lock").arg(getuid());
}

bool SingleInstance::acquire()
{
    if (m_lock && m_lock->isLocked())
        return true;
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // Staleness by owner only: a copy that has run for days is still running.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}
