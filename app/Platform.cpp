// SPDX-License-Identifier: MIT
#include "app/Platform.h"

#include "desktop/X11.h"
#include "notes/AlarmSound.h"
#include "store/Module1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

Platform::Request misuse(const QString &problem)
{
    return {Platform::Request::Misuse, problem};
}

int printHelp()
{
    const QString sound = AlarmSound::soundFile();
    const QString player = AlarmSound::moduleFile();
    // Scripts read the file lines: two blanks, the name, ": ", the path.
    print(stdout, QStringLiteral("Usage: nopi [--help | --version | --autostart on|off]\n"
                                 "\n"
                                 "Sticky notes with alarms on the desktop. Without an option, Nopi shows\n"
                                 "its launcher and the notes; started again while it runs, it brings the\n"
                                 "running launcher forward and ends.\n"
                                 "\n"
                                 "Options:\n"
                                 "  -h, --help           show this help and exit\n"
                                 "  --version            show the version and exit\n"
                                 "  --autostart on|off   start Nopi at login, or no longer\n"
                                 "\n"
                                 "Files:\n"
                                 "  settings: %1\n"
                                 "  sound: %2\n"
                                 "  sound player: %4\n"
                                 "  autostart: %3\n"
                                 "\n"
                                 "Nopi needs X11; on a Wayland desktop it runs through XWayland.\n")
                          .arg(SettingsFilePath(), sound.isEmpty() ? QStringLiteral("(not found)") : sound,
                               Platform::autostartEntryPath(),
                               player.isEmpty() ? QStringLiteral("(not found)") : player));
    return 0;
}

QByteArray autostartEntry(const QString &exec)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Nopi\n"
                          "Name[ja]=Nopi 付箋紙\n"
                          "Comment=Sticky notes with alarms on the desktop\n"
                          "Comment[ja]=アラーム付きの付箋紙をデスクトップに貼ります\n"
                          "Exec=%1\n"
                          "Icon=nopi\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
            .arg(exec)
            .toUtf8();
}

int autostartOn()
{
    const QString path = Platform::autostartEntryPath();
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("nopi"));
    const QString exec = Platform::desktopExec(program, QFileInfo(onPath).canonicalFilePath());

    QSaveFile entry(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !entry.open(QIODevice::WriteOnly)
        || entry.write(autostartEntry(exec)) < 0 || !entry.commit()) {
        print(stderr, QStringLiteral("nopi: cannot write %1: %2\n").arg(path, entry.errorString()));
        return 1;
    }
    print(stdout, QStringLiteral("Nopi will start at login: wrote %1 (Exec=%2)\n").arg(path, exec));
    return 0;
}

int autostartOff()
{
    const QString path = Platform::autostartEntryPath();
    const QFileInfo entry(path);
    if (!entry.exists() && !entry.isSymLink()) {
        print(stdout, QStringLiteral("Nopi was not starting at login: there is no %1\n").arg(path));
        return 0;
    }
    QFile file(path);
    if (!file.remove()) {
        print(stderr, QStringLiteral("nopi: cannot remove %1: %2\n").arg(path, file.errorString()));
        return 1;
    }
    print(stdout, QStringLiteral("Nopi will no longer start at login: removed %1\n").arg(path));
    return 0;
}

// The characters a desktop entry's Exec needs quoted, besides control characters.
bool needsQuoting(const QString &text)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (const QChar c : text) {
        if (reserved.contains(c) || c.unicode() < 0x20)
            return true;
    }
    return false;
}

}

namespace Platform {

Request parseArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return {};
    const QString &option = arguments.first();
    const QStringList values = arguments.mid(1);
    // A session manager restarts the program with Qt's own "-session ID".
    if ((option == QLatin1String("-session") || option == QLatin1String("--session")) && values.size() == 1)
        return {};
    if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
        if (!values.isEmpty())
            return misuse(QStringLiteral("%1 takes nothing after it").arg(option));
        return {Request::Help, {}};
    }
    if (option == QLatin1String("--version")) {
        if (!values.isEmpty())
            return misuse(QStringLiteral("--version takes nothing after it"));
        return {Request::Version, {}};
    }
    QStringList choice = values;
    if (option.startsWith(QLatin1String("--autostart=")))
        choice.prepend(option.mid(option.indexOf(QLatin1Char('=')) + 1));
    else if (option != QLatin1String("--autostart"))
        return misuse(QStringLiteral("unknown option '%1'").arg(option));
    if (choice.size() != 1)
        return misuse(QStringLiteral("--autostart needs on or off"));
    if (choice.first() == QLatin1String("on"))
        return {Request::AutostartOn, {}};
    if (choice.first() == QLatin1String("off"))
        return {Request::AutostartOff, {}};
    return misuse(QStringLiteral("--autostart needs on or off, not '%1'").arg(choice.first()));
}

int carryOut(const Request &request)
{
    switch (request.action) {
    case Request::Help:
        return printHelp();
    case Request::Version:
        print(stdout, QStringLiteral("nopi %1\n").arg(QLatin1String(NOPI_VERSION)));
        return 0;
    case Request::AutostartOn:
        return autostartOn();
    case Request::AutostartOff:
        return autostartOff();
    case Request::Misuse:
        print(stderr, QStringLiteral("nopi: %1\nTry 'nopi --help'.\n").arg(request.problem));
        return 2;
    case Request::Run:
        break;
    }
    return 0;
}

QByteArray windowSystemFor(const QByteArray &requested, bool xDisplayReachable)
{
    // Qt tries a list's names in order; options follow a colon.
    const QByteArray first = requested.split(';').constFirst().split(':').constFirst().trimmed();
    if (first == "offscreen" || first == "minimal")
        return requested;
    if (xDisplayReachable)
        return QByteArrayLiteral("xcb");
    return {};
}

bool chooseWindowSystem()
{
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    const QByteArray chosen = windowSystemFor(requested, X11::displayReachable());
    if (chosen.isEmpty()) {
        const QByteArray display = qgetenv("DISPLAY");
        print(stderr, QStringLiteral("nopi: Nopi needs X11 or XWayland, and no X display could be reached (%1).\n")
                              .arg(display.isEmpty() ? QStringLiteral("DISPLAY is not set")
                                                     : QStringLiteral("DISPLAY=%1").arg(QString::fromLocal8Bit(display))));
        return false;
    }
    if (chosen != requested)
        qputenv("QT_QPA_PLATFORM", chosen);
    // Every window is painted by the raster engine: the OpenGL libraries and
    // their driver would only cost start-up time and memory.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    return true;
}

QString autostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/autostart/nopi.desktop");
}

QString desktopExec(const QString &programPath, const QString &programOnPath)
{
    if (!programOnPath.isEmpty() && programOnPath == programPath)
        return QStringLiteral("nopi");
    QString exec;
    const bool quoted = needsQuoting(programPath);
    for (const QChar c : programPath) {
        // Inside quotes these four take a backslash; the value's own escapes
        // then double every backslash. A % is always doubled.
        if (quoted && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')))
            exec += QStringLiteral("\\\\");
        if (c == QLatin1Char('\\'))
            exec += QStringLiteral("\\\\\\\\");
        else if (c == QLatin1Char('\n'))
            exec += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            exec += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            exec += QStringLiteral("\\r");
        else if (c == QLatin1Char('%'))
            exec += QStringLiteral("%%");
        else
            exec += c;
    }
    return quoted ? QLatin1Char('"') + exec + QLatin1Char('"') : exec;
}

void registerFontSubstitutes()
{
    const struct
    {
        const char *windowsName;
        const char *ipaName;
    } substitutes[] = {
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
        {"ＭＳ ゴシック", "IPAGothic"},   {"MS Gothic", "IPAGothic"},
        {"ＭＳ 明朝", "IPAMincho"},       {"MS Mincho", "IPAMincho"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},    {"MS PMincho", "IPAPMincho"},
        {"MS UI Gothic", "IPAPGothic"},   {"ＭＳ ＵＩ Gothic", "IPAPGothic"},
        {"メイリオ", "IPAPGothic"},       {"Meiryo", "IPAPGothic"},
        {"Meiryo UI", "IPAPGothic"},
        // The font dialog's starting face: a Japanese gothic, as on the
        // systems the notes come from.
        {"SYSTEM", "IPAPGothic"},
    };
    for (const auto &substitute : substitutes)
        QFont::insertSubstitution(QString::fromUtf8(substitute.windowsName), QString::fromUtf8(substitute.ipaName));
}

}
