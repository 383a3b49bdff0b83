#pragma once

#include <QLockFile>

#include <memory>

// One running copy per user. The lock of a copy that was killed is stale and
// is taken over, so it never blocks the next start.
class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();

    // True when this process now holds the lock (or already held it).
    bool acquire();

    static QString lockFilePath();

private:
    std::unique_ptr<QLockFile> m_lock;
};
