#pragma once

#include "store/Cp932.h"
#include "store/Module1.h"

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
        SetSettingsFilePath(m_dir.filePath(QStringLiteral("nopi/nopi.ini")));
        ResetProgramState();
    }

    QString path() const { return m_dir.filePath(QStringLiteral("nopi/nopi.ini")); }
    QString dir() const { return m_dir.path(); }

    void write(const QByteArray &bytes) const
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("nopi")));
        QFile file(path());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    }

    QByteArray bytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static NoteSettings load(const QString &section)
    {
        CurrentSection = section;
        NoteSettings record;
        LoadNoteSettings(record);
        return record;
    }

    static void save(const QString &section, const NoteSettings &record)
    {
        CurrentSection = section;
        SaveNoteSettings(record);
    }

private:
    QTemporaryDir m_dir;
};

inline QByteArray sjis(const QString &text)
{
    return QByteArray::fromStdString(Cp932::encode(text));
}
