// SPDX-License-Identifier: MIT
#include "app/Platform.h"

#include "app/SingleInstance.h"
#include "desktop/X11.h"
#include "notes/AlarmSound.h"
#include "store/Module1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

Platform::Request asking(Platform::Request::Action action)
{
    Platform::Request request;
    request.action = action;
    return request;
}

Platform::Request misuse(const QString &problem)
{
    Platform::Request request = asking(Platform::Request::Misuse);
    request.problem = problem;
    return request;
}

int printHelp()
{
    const QString sound = AlarmSound::soundFile();
    const QString player = AlarmSound::moduleFile();
    // Scripts read the file lines: two blanks, the name, ": ", the path.
    print(stdout, QStringLiteral("Usage: nopi [--help | --version | --autostart on|off | --new-note [TEXT]]\n"
                                 "\n"
                                 "Sticky notes with alarms on the desktop. Without an option, Nopi shows\n"
                                 "its launcher and the notes; started again while it runs, it brings the\n"
                                 "running launcher forward and ends.\n"
                                 "\n"
                                 "Options:\n"
                                 "  -h, --help           show this help and exit\n"
                                 "  --version            show the version and exit\n"
                                 "  --autostart on|off   start Nopi at login, or no longer\n"
                                 "  --new-note [TEXT]    open the edit screen for a new note with TEXT in it,\n"
                                 "                       starting Nopi first if it is not running; \"-\" reads\n"
                                 "                       the text from standard input. A note takes 64 KiB.\n"
                                 "                       When no note can be started (all 15 in use, the edit\n"
                                 "                       screen is open, the text is longer), the text (of a\n"
                                 "                       longer input, its first 64 KiB) goes to standard\n"
                                 "                       error and the exit status is 1.\n"
                                 "\n"
                                 "Keys:\n"
                                 "  Enter, Space         (launcher) a new note, as the new-note button\n"
                                 "  Ctrl+N               (launcher or note) a new note\n"
                                 "  Tab, Shift+Tab       (launcher or note) the next or previous Nopi window\n"
                                 "  Alt+arrows           (launcher or note) move it 10 pixels\n"
                                 "  Ctrl+Shift+arrows    (note) make it 10 pixels wider, narrower, taller or\n"
                                 "                       shorter\n"
                                 "  Enter                (note) edit it, or stop its ringing alarm\n"
                                 "  Ctrl+D               (note) throw it away, as its close mark\n"
                                 "  Tab, Enter           (edit screen) from the text to OK, and press it\n"
                                 "  Esc                  (edit screen) Cancel\n"
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

// Nothing the user meant to keep is lost: a text no note could take goes to
// standard error, after the reason.
int noNewNote(const QString &reason, const QByteArray &text)
{
    print(stderr, QStringLiteral("nopi: no new note: %1. The text was:\n").arg(reason));
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    if (!text.endsWith('\n'))
        std::fputc('\n', stderr);
    std::fflush(stderr);
    return 1;
}

// Up to `limit` bytes of a file or pipe, read in pieces as they come.
std::optional<QByteArray> readAtMost(int fd, qsizetype limit)
{
    QByteArray bytes(limit, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < limit) {
        const ssize_t piece = read(fd, bytes.data() + got, size_t(limit - got));
        if (piece == 0)
            break;
        if (piece < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        got += piece;
    }
    bytes.truncate(got);
    return bytes;
}

// Starts this program, detached: it runs on after this command ends, and
// holds none of this command's streams, so a pipe into or out of the
// command ends with it.
bool startProgram()
{
    QProcess program;
    program.setProgram(QCoreApplication::applicationFilePath());
    program.setStandardInputFile(QProcess::nullDevice());
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    return program.startDetached();
}

int newNote(const Platform::Request &request)
{
    // How long a copy may take to start and answer on a loaded machine.
    constexpr int StartMs = 15000;
    constexpr int AnswerMs = 5000;
    QByteArray text = request.text.toUtf8();
    if (request.textFromStandardInput) {
        // One byte past the limit tells that the text is too long: what
        // follows is never read, so an endless input ends the command at once.
        std::optional<QByteArray> input = readAtMost(STDIN_FILENO, SingleInstance::MaxTextBytes + 1);
        if (!input)
            return noNewNote(QStringLiteral("standard input cannot be read"), {});
        text = std::move(*input);
        if (text.size() > SingleInstance::MaxTextBytes)
            return noNewNote(QStringLiteral("the text is longer than a note takes (%1 bytes at most), "
                                            "and only its first %1 bytes were read")
                                     .arg(SingleInstance::MaxTextBytes),
                             text.left(SingleInstance::MaxTextBytes));
    }
    if (text.size() > SingleInstance::MaxTextBytes)
        return noNewNote(QStringLiteral("the text is longer than a note takes (%1 bytes at most)")
                                 .arg(SingleInstance::MaxTextBytes),
                         text);

    SingleInstance::NewNoteAnswer answer = SingleInstance::askForNewNote(text, AnswerMs);
    if (answer == SingleInstance::NewNoteAnswer::NotRunning) {
        if (Platform::windowSystemFor(qgetenv("QT_QPA_PLATFORM"), X11::displayReachable()).isEmpty())
            return noNewNote(QStringLiteral("Nopi is not running, and it needs X11 or XWayland to start"), text);
        if (!startProgram())
            return noNewNote(QStringLiteral("Nopi is not running, and it could not be started"), text);
        // The copy answers once its launcher is up. One started elsewhere
        // at the same moment answers just as well; ours then ends quietly.
        for (int waited = 0; answer == SingleInstance::NewNoteAnswer::NotRunning && waited < StartMs;
             waited += 100) {
            QThread::msleep(100);
            answer = SingleInstance::askForNewNote(text, AnswerMs);
        }
    }
    switch (answer) {
    case SingleInstance::NewNoteAnswer::Opened:
        return 0;
    case SingleInstance::NewNoteAnswer::EditScreenOpen:
        return noNewNote(QStringLiteral("another note is being edited; its edit screen is brought forward"), text);
    case SingleInstance::NewNoteAnswer::NoFreeSlot:
        return noNewNote(QStringLiteral("all 15 notes are in use; close one first"), text);
    case SingleInstance::NewNoteAnswer::TooLong:
        return noNewNote(QStringLiteral("the text is longer than a note takes (%1 bytes at most)")
                                 .arg(SingleInstance::MaxTextBytes),
                         text);
    case SingleInstance::NewNoteAnswer::NotRunning:
        return noNewNote(QStringLiteral("Nopi did not start within %1 seconds").arg(StartMs / 1000), text);
    case SingleInstance::NewNoteAnswer::NoAnswer:
        break;
    }
    return noNewNote(QStringLiteral("the running Nopi did not answer"), text);
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
        return asking(Request::Help);
    }
    if (option == QLatin1String("--version")) {
        if (!values.isEmpty())
            return misuse(QStringLiteral("--version takes nothing after it"));
        return asking(Request::Version);
    }
    if (option == QLatin1String("--new-note")) {
        Request request = asking(Request::NewNote);
        if (values == QStringList{QStringLiteral("-")})
            request.textFromStandardInput = true;
        else
            request.text = values.join(QLatin1Char(' '));
        return request;
    }
    QStringList choice = values;
    if (option.startsWith(QLatin1String("--autostart=")))
        choice.prepend(option.mid(option.indexOf(QLatin1Char('=')) + 1));
    else if (option != QLatin1String("--autostart"))
        return misuse(QStringLiteral("unknown option '%1'").arg(option));
    if (choice.size() != 1)
        return misuse(QStringLiteral("--autostart needs on or off"));
    if (choice.first() == QLatin1String("on"))
        return asking(Request::AutostartOn);
    if (choice.first() == QLatin1String("off"))
        return asking(Request::AutostartOff);
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
    case Request::NewNote:
        return newNote(request);
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
