// SPDX-License-Identifier: MIT
#pragma once

#include "store/Cp932.h"
#include "store/Module1.h"
#include "store/SyncIdentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A private nopi.ini in a fresh directory, with the program's shared state
// back at its start values.
class SettingsFixture
{
public:
    SettingsFixture()
    {
        // Stamps name this machine; the tests' own name keeps the user's
        // state folder out of it.
        Sync::SetThisMachine("testhost");
        SetSettingsFilePath(m_dir.filePath(QStringLiteral("nopi/nopi.ini")));
        ResetProgramState();
    }

    QString path() const { return m_dir.filePath(QStringLiteral("nopi/nopi.ini")); }
    QString dir() const { return m_dir.path(); }
    QString folder() const { return m_dir.filePath(QStringLiteral("nopi")); }

    // The copies kept of a damaged file, by name.
    QStringList damagedCopies() const
    {
        return QDir(folder()).entryList({QStringLiteral("nopi.ini.damaged-*")}, QDir::Files | QDir::Hidden,
                                        QDir::Name);
    }

    void write(const QByteArray &bytes) const
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("nopi")));
        QFile file(path());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    }

    // What the file holds once the writer has finished what it was handed.
    QByteArray bytes() const
    {
        WaitForSaves();
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static NoteSettings load(const QString &section, SectionRead *read = nullptr)
    {
        CurrentSection = section;
        NoteSettings record;
        const SectionRead result = LoadNoteSettings(record);
        if (read)
            *read = result;
        return record;
    }

    // The file without the stamps of who changed what: the bytes every
    // reader of the file reads.
    QByteArray unstampedBytes() const
    {
        QByteArray kept;
        for (const QByteArray &line : bytes().split('\n')) {
            if (!line.startsWith("SYNC="))
                kept += line + '\n';
        }
        kept.chop(1);
        return kept;
    }

    // Saves and waits for the writer, as if saves were done at once.
    static void save(const QString &section, const NoteSettings &record)
    {
        CurrentSection = section;
        SaveNoteSettings(record);
        WaitForSaves();
    }

private:
    QTemporaryDir m_dir;
};

inline QByteArray sjis(const QString &text)
{
    return QByteArray::fromStdString(Cp932::encode(text));
}
