// SPDX-License-Identifier: MIT
// The settings file: defaults, text forms, CP932, the reader's and writer's
// rules that stored files rely on, and what a damaged or unwritable file does.

#include "SettingsFixture.h"
#include "store/Cp932.h"
#include "store/FileAccess.h"
#include "store/SectionText.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <QHash>
#include <QRegularExpression>

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int savedWarnings = 0;

void countSaveWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("cannot save")))
        ++savedWarnings;
}

NoteSettings japaneseNote()
{
    NoteSettings record;
    record.SIYOU = 1;
    record.B_Color = 8454143;
    record.POJIX = -300;
    record.POJIY = 2880;
    record.YOKO = 2700;
    record.TATE = 1500;
    record.ALARM = 1;
    record.A_TIME = 12241530;
    record.NAIYOU = QStringLiteral("会議の資料⇔コピー ２部");
    record.FName = QStringLiteral("ＭＳ Ｐゴシック");
    record.FSize = 10;
    record.FBold = QStringLiteral("True");
    record.FItalic = QStringLiteral("False");
    return record;
}

QByteArray garbage(int size)
{
    QRandomGenerator random(7);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes.replace('[', '{'); // no header at all
}

QString reasonOf(const QString &fault)
{
    static const QHash<QString, QString> reasons = {
        {QStringLiteral("a directory"), QStringLiteral("通常のファイルではありません")},
        {QStringLiteral("a FIFO"), QStringLiteral("通常のファイルではありません")},
        {QStringLiteral("over the size limit"), QStringLiteral("大きすぎて読み込めません")},
        {QStringLiteral("mode 000"), QStringLiteral("読み込む権限がありません")},
        {QStringLiteral("read-only file"), QStringLiteral("読み取り専用のファイルです")},
        {QStringLiteral("read-only folder"), QStringLiteral("フォルダーに書き込めません")},
        {QStringLiteral("a file in the folder's place"), QStringLiteral("フォルダーを作れません")},
        {QStringLiteral("damaged file in a read-only folder"), QStringLiteral("壊れたファイルの控えを作れません")},
    };
    return reasons.value(fault);
}

bool rootIgnoresIt(const QString &fault)
{
    return geteuid() == 0
            && (fault == QLatin1String("mode 000") || fault.contains(QLatin1String("read-only folder")));
}

// Puts a fault at the settings path or its folder, or takes it away again.
void setFault(const SettingsFixture &settings, const QString &fault, bool on)
{
    const QByteArray path = QFile::encodeName(settings.path());
    const QByteArray folder = QFile::encodeName(settings.folder());
    if (fault == QLatin1String("deleted")) {
        if (on)
            QFile::remove(settings.path());
    } else if (fault == QLatin1String("garbage")) {
        if (on)
            settings.write(garbage(4096));
    } else if (fault == QLatin1String("half-written")) {
        if (on)
            settings.write(settings.bytes().left(settings.bytes().indexOf("NAIYOU")));
    } else if (fault == QLatin1String("a directory")) {
        QFile::remove(settings.path());
        on ? mkdir(path, 0700) : rmdir(path);
    } else if (fault == QLatin1String("a link to /dev/full")) {
        QFile::remove(settings.path());
        if (on)
            QFile::link(QStringLiteral("/dev/full"), settings.path());
    } else if (fault == QLatin1String("a FIFO")) {
        QFile::remove(settings.path());
        if (on)
            mkfifo(path, 0600);
    } else if (fault == QLatin1String("over the size limit")) {
        QFile file(settings.path());
        file.open(QIODevice::ReadWrite);
        file.resize(on ? qint64(FileAccess::MaxFileSize) + 1 : 0);
    } else if (fault == QLatin1String("mode 000") || fault == QLatin1String("read-only file")) {
        chmod(path, on ? (fault == QLatin1String("mode 000") ? 0 : 0444) : 0600);
    } else if (fault == QLatin1String("read-only folder")) {
        chmod(folder, on ? 0555 : 0755);
    } else if (fault == QLatin1String("damaged file in a read-only folder")) {
        if (on)
            settings.write(garbage(300));
        chmod(folder, on ? 0555 : 0755);
    } else if (fault == QLatin1String("a file in the folder's place")) {
        QDir(settings.folder()).removeRecursively();
        if (on)
            QFile(settings.folder()).open(QIODevice::WriteOnly);
        else
            QFile::remove(settings.folder());
    }
}

}

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void shouldReadEveryDefaultFromAnAbsentFile();
    void shouldWriteTheFileTextForms();
    void shouldRoundTripJapaneseTextThroughCp932();
    void shouldConvertLongTextsAsShortOnes();
    void shouldReadByTheProfileRules_data();
    void shouldReadByTheProfileRules();
    void shouldReadIntegers_data();
    void shouldReadIntegers();
    void shouldWriteInPlaceAndKeepEveryOtherByte_data();
    void shouldWriteInPlaceAndKeepEveryOtherByte();
    void shouldReadLongTextsWhole();
    void shouldKeepQuotesAroundAValue();
    void shouldNeverLetAValueChangeTheFileStructure();
    void shouldWriteThroughASymlink();
    void shouldKeepTheOldFileWhenAWriteFails();
    void shouldCreateTheDirectoryOnFirstWrite();
    void shouldReadDamagedFilesSensibly_data();
    void shouldReadDamagedFilesSensibly();
    void shouldTrimAtNull_data();
    void shouldTrimAtNull();
    void shouldLeaveAFreedSlotsKeys();
    void shouldTellWhyTheFileCannotBeRead_data();
    void shouldTellWhyTheFileCannotBeRead();
    void shouldKeepWhatThisRunHoldsWhenTheFileGoes_data();
    void shouldKeepWhatThisRunHoldsWhenTheFileGoes();
    void shouldKeepACopyOfADamagedFile_data();
    void shouldKeepACopyOfADamagedFile();
    void shouldHoldAndReportSavesThatFail_data();
    void shouldHoldAndReportSavesThatFail();
    void shouldSeeEveryChangeByAnotherWriter_data();
    void shouldSeeEveryChangeByAnotherWriter();
    void shouldReplaceTheFileOnlyForNewBytes_data();
    void shouldReplaceTheFileOnlyForNewBytes();
    void shouldWriteWhatWasHandedOverTogether();
    void shouldWriteBackWhatTheFileLost_data();
    void shouldWriteBackWhatTheFileLost();
    void shouldTryAFailedSaveAgainByItself();
    void shouldGiveOurFileANewTimeWhenItsTimeIsSetBack_data();
    void shouldGiveOurFileANewTimeWhenItsTimeIsSetBack();
};

void TestStore::shouldReadEveryDefaultFromAnAbsentFile()
{
    SettingsFixture settings;
    for (int slot = 3; slot <= 17; ++slot) {
        const NoteSettings record = settings.load(NoteSection(slot));
        QCOMPARE(record.SIYOU, 0);
        QCOMPARE(record.B_Color, 0);
        QCOMPARE(record.POJIX, 0);
        QCOMPARE(record.POJIY, 0);
        QCOMPARE(record.YOKO, 1);
        QCOMPARE(record.TATE, 1);
        QCOMPARE(record.ALARM, 0);
        QCOMPARE(record.A_TIME, 0);
        QCOMPARE(record.NAIYOU, QString());
        QCOMPARE(record.FName, QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(record.FSize, 10);
        QCOMPARE(record.FBold, QStringLiteral("False"));
        QCOMPARE(record.FItalic, QStringLiteral("False"));
    }
    QVERIFY(!QFileInfo::exists(settings.path()));
}

void TestStore::shouldWriteTheFileTextForms()
{
    SettingsFixture settings;
    NoteSettings record = japaneseNote();
    record.NAIYOU = QStringLiteral("memo");
    settings.save(QStringLiteral("FORM3"), record);
    record.SIYOU = 0;
    record.POJIX = 1500;
    settings.save(QStringLiteral("FORM1"), record);

    const QByteArray expected = "[FORM3]\r\n"
                                "SIYOU= 1\r\n"
                                "B_Color= 8454143\r\n"
                                "POJIX=-300\r\n"
                                "POJIY= 2880\r\n"
                                "YOKO= 2700\r\n"
                                "TATE= 1500\r\n"
                                "ALARM= 1\r\n"
                                "A_TIME= 12241530\r\n"
                                "NAIYOU=memo\r\n"
                                "FName=" + sjis(QStringLiteral("ＭＳ Ｐゴシック")) + "\r\n"
                                "FSize= 10\r\n"
                                "FBold=True\r\n"
                                "FItalic=False\r\n"
                                "[FORM1]\r\n"
                                "SIYOU= 0\r\n"
                                "B_Color= 8454143\r\n"
                                "POJIX= 1500\r\n"
                                "POJIY= 2880\r\n"
                                "YOKO= 2700\r\n"
                                "TATE= 1500\r\n"
                                "ALARM= 1\r\n"
                                "A_TIME= 12241530\r\n"
                                "NAIYOU=memo\r\n"
                                "FName=" + sjis(QStringLiteral("ＭＳ Ｐゴシック")) + "\r\n"
                                "FSize= 10\r\n"
                                "FBold=True\r\n"
                                "FItalic=False\r\n";
    QCOMPARE(settings.unstampedBytes(), expected);
}

void TestStore::shouldRoundTripJapaneseTextThroughCp932()
{
    SettingsFixture settings;
    const NoteSettings record = japaneseNote();
    settings.save(QStringLiteral("FORM5"), record);

    QVERIFY(settings.bytes().contains(QByteArray("\x89\xef\x8b\x63\x82\xcc\x8e\x91\x97\xbf\x81\xcc", 12)));
    QCOMPARE(settings.load(QStringLiteral("FORM5")), record);
}

// Long texts go through tables, short ones through iconv: every byte
// sequence decodes, and every character encodes, the same either way.
void TestStore::shouldConvertLongTextsAsShortOnes()
{
    std::vector<std::string> pieces;
    for (int byte = 0; byte < 256; ++byte)
        pieces.push_back(std::string(1, char(byte)) + 'a');
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0x30; trail <= 0xFF; ++trail)
            pieces.push_back(std::string{char(lead), char(trail), 'a'});
    }
    pieces.push_back("\x82"); // a lead byte at the very end
    std::string whole;
    QString expected;
    for (const std::string &piece : pieces) {
        whole += piece;
        expected += Cp932::decode(piece);
    }
    QCOMPARE(Cp932::decode(whole), expected);

    QString text;
    std::string encoded;
    for (char32_t code = 1; code < 0x10000; ++code) {
        if (code >= 0xD800 && code < 0xE000)
            continue;
        const QString one = QChar(char16_t(code));
        text += one;
        encoded += Cp932::encode(one);
    }
    const QString beyond = QString::fromUcs4(U"\U0001F600x");
    text += beyond;
    encoded += Cp932::encode(beyond);
    QCOMPARE(Cp932::encode(text), encoded);
    QVERIFY(!Cp932::canEncode(text));
    QVERIFY(Cp932::canEncode(QStringLiteral("会議の資料").repeated(1000)));
}

void TestStore::shouldReadByTheProfileRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("naiyou");

    QTest::newRow("names ignore letter case") << QByteArray("[form3]\nnaiyou=x\n") << "x";
    QTest::newRow("blanks around key, value and in brackets")
            << QByteArray("[ FORM3\t]\n \tNAIYOU \t=  a  b \t\n") << "a  b";
    QTest::newRow("header runs to the last bracket") << QByteArray("[FORM3] x]\nNAIYOU=y\n") << "";
    QTest::newRow("header with text after its bracket") << QByteArray("[FORM3] note\nNAIYOU=y\n") << "y";
    QTest::newRow("no bracket, no header") << QByteArray("[FORM3\nNAIYOU=y\n") << "";
    QTest::newRow("lines before any header belong nowhere") << QByteArray("NAIYOU=a\n[FORM3]\n") << "";
    QTest::newRow("a line without = is no key") << QByteArray("[FORM3]\nNAIYOU\nNAIYOU=b\n") << "b";
    QTest::newRow("first = splits") << QByteArray("[FORM3]\nNAIYOU=a=b\n") << "a=b";
    QTest::newRow("no comment syntax") << QByteArray("[FORM3]\n;NAIYOU=a\nNAIYOU=b\n") << "b";
    QTest::newRow("lone CR ends a line") << QByteArray("[FORM3]\rNAIYOU=c\rFName=d") << "c";
    QTest::newRow("CRLF and no final newline") << QByteArray("[FORM3]\r\n\r\nNAIYOU=e") << "e";
    QTest::newRow("NUL ends a value") << QByteArray("[FORM3]\nNAIYOU=ab\0cd\n", 21) << "ab";
    QTest::newRow("first section of a name counts")
            << QByteArray("[FORM3]\nFName=z\n[FORM3]\nNAIYOU=late\n") << "";
    QTest::newRow("first key of a name counts") << QByteArray("[FORM3]\nNAIYOU=one\nNAIYOU=two\n") << "one";
    QTest::newRow("FORM03 is not FORM3") << QByteArray("[FORM03]\nNAIYOU=x\n") << "";
    QTest::newRow("empty text value") << QByteArray("[FORM3]\nNAIYOU=\n") << "";
    QTest::newRow("VT, FF and Ctrl-Z are blanks")
            << QByteArray("[\vFORM3\x1a]\n\f NAIYOU\v=\x1a a b\f\v\n") << "a b";
    QTest::newRow("Ctrl-Z mark at the end of the file") << QByteArray("[FORM3]\r\nNAIYOU=True\x1a") << "True";
    QTest::newRow("double-byte character ending in ] after a header")
            << QByteArray("[FORM3] \x83\x5d\nNAIYOU=y\n") << "y";
    QTest::newRow("lead byte alone after a header") << QByteArray("[FORM3]\x83\nNAIYOU=y\n") << "y";
    QTest::newRow("a header's only ] taken by a double-byte character")
            << QByteArray("[FORM3\x83]\nNAIYOU=y\n") << "";
    QTest::newRow("trail byte in the lead range, then ]")
            << QByteArray("[FORM3]\x88\x9f]\nNAIYOU=y\n") << "";
}

void TestStore::shouldReadByTheProfileRules()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, naiyou);
    SettingsFixture settings;
    settings.write(file);
    QCOMPARE(settings.load(QStringLiteral("FORM3")).NAIYOU, naiyou);
}

void TestStore::shouldReadIntegers_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("written form") << QByteArray(" 1") << 1;
    QTest::newRow("negative") << QByteArray("-300") << -300;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("leading number") << QByteArray("12abc") << 12;
    QTest::newRow("fraction") << QByteArray("1.5") << 1;
    QTest::newRow("sign alone") << QByteArray("-") << 0;
    QTest::newRow("not a number") << QByteArray("abc") << 0;
    QTest::newRow("empty gives the default") << QByteArray("") << 1;
    QTest::newRow("blanks only give the default") << QByteArray("   ") << 1;
    QTest::newRow("beyond 32 bits saturates") << QByteArray("99999999999999999999") << INT_MAX;
    QTest::newRow("below 32 bits saturates") << QByteArray("-99999999999999999999") << INT_MIN;
    QTest::newRow("largest") << QByteArray("2147483647") << INT_MAX;
    QTest::newRow("smallest") << QByteArray("-2147483648") << INT_MIN;
    QTest::newRow("in double quotes") << QByteArray("\"1\"") << 1;
    QTest::newRow("written form in single quotes") << QByteArray("' -300'") << -300;
    QTest::newRow("empty quotes give the default") << QByteArray("\"\"") << 1;
    QTest::newRow("quotes that do not match") << QByteArray("\"5'") << 0;
    QTest::newRow("a quote after the number") << QByteArray("5\"") << 5;
    QTest::newRow("Ctrl-Z after the number") << QByteArray("\"7\"\x1a") << 7;
}

void TestStore::shouldReadIntegers()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    SettingsFixture settings;
    settings.write("[FORM3]\r\nYOKO=" + value + "\r\n");
    QCOMPARE(settings.load(QStringLiteral("FORM3")).YOKO, expected);
}

void TestStore::shouldWriteInPlaceAndKeepEveryOtherByte_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    const QByteArray rest = "B_Color= 0\r\nPOJIX= 0\r\nPOJIY= 0\r\nYOKO= 1\r\nTATE= 1\r\nALARM= 0\r\nA_TIME= 0\r\n"
                            "NAIYOU=\r\nFName=" + sjis(QStringLiteral("ＭＳ Ｐゴシック")) + "\r\nFSize= 10\r\n"
                            "FBold=False\r\nFItalic=False\r\n";

    QTest::newRow("new section at the end, no blank line")
            << QByteArray("; mine\n[Other]\nk=v\n[FORM4]\nSIYOU=1\n")
            << QByteArray("; mine\n[Other]\nk=v\n[FORM4]\nSIYOU=1\n[FORM3]\r\nSIYOU= 1\r\n") + rest;
    QTest::newRow("missing final newline")
            << QByteArray("[Other]\nk=v\n[FORM4]\nSIYOU=1")
            << QByteArray("[Other]\nk=v\n[FORM4]\nSIYOU=1\r\n[FORM3]\r\nSIYOU= 1\r\n") + rest;
    QTest::newRow("key in place keeps its spelling, new keys at the section's end")
            << QByteArray("[form3]\n  siyou = 0 \n\n[FORM4]\nSIYOU=1\n")
            << QByteArray("[form3]\nsiyou= 1\r\n\n") + rest + "[FORM4]\nSIYOU=1\n";
    QTest::newRow("later duplicates untouched")
            << QByteArray("[FORM3]\nSIYOU=0\nSIYOU=5\n[FORM3]\nSIYOU=7\n")
            << QByteArray("[FORM3]\nSIYOU= 1\r\nSIYOU=5\n") + rest + "[FORM3]\nSIYOU=7\n";
    QTest::newRow("found as the reader finds it: double-byte text after the header, old blanks")
            << QByteArray("[FORM3] \x83\x5d\n\vSIYOU\f=0\x1a\n[FORM4]\nSIYOU=1\n")
            << QByteArray("[FORM3] \x83\x5d\nSIYOU= 1\r\n") + rest + "[FORM4]\nSIYOU=1\n";
}

void TestStore::shouldWriteInPlaceAndKeepEveryOtherByte()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    SettingsFixture settings;
    settings.write(before);
    NoteSettings record;
    record.SIYOU = 1;
    settings.save(QStringLiteral("FORM3"), record);
    QCOMPARE(settings.unstampedBytes(), after);
}

void TestStore::shouldReadLongTextsWhole()
{
    SettingsFixture settings;
    NoteSettings record;
    // Far past the 199 and 19 bytes that older readers kept, with a
    // double-byte character across each of those limits.
    record.NAIYOU = QString(99, QLatin1Char('a')) + QString(150, QChar(u'あ'));
    record.FName = QStringLiteral("abcdefghijklmnopqrsあいう");
    settings.save(QStringLiteral("FORM3"), record);
    const NoteSettings back = settings.load(QStringLiteral("FORM3"));
    QCOMPARE(back.NAIYOU, record.NAIYOU);
    QCOMPARE(back.FName, record.FName);
}

void TestStore::shouldKeepQuotesAroundAValue()
{
    SettingsFixture settings;
    settings.write("[FORM3]\r\nNAIYOU=\"quoted\"\r\nFName='x'\r\n");
    NoteSettings record = settings.load(QStringLiteral("FORM3"));
    QCOMPARE(record.NAIYOU, QStringLiteral("\"quoted\""));
    QCOMPARE(record.FName, QStringLiteral("'x'"));
    settings.save(QStringLiteral("FORM3"), record);
    QCOMPARE(settings.load(QStringLiteral("FORM3")).NAIYOU, QStringLiteral("\"quoted\""));
}

void TestStore::shouldNeverLetAValueChangeTheFileStructure()
{
    SettingsFixture settings;
    NoteSettings record;
    record.SIYOU = 1;
    record.NAIYOU = QStringLiteral("a\nb\r[FORM9]\r\nSIYOU=1\n");
    record.FName = QStringLiteral("x\n[FORM1]");
    settings.save(QStringLiteral("FORM3"), record);

    QCOMPARE(settings.load(QStringLiteral("FORM9")).SIYOU, 0);
    QCOMPARE(settings.load(QStringLiteral("FORM1")), NoteSettings());
    const NoteSettings back = settings.load(QStringLiteral("FORM3"));
    QCOMPARE(back.NAIYOU, QStringLiteral("a⇔b⇔[FORM9]⇔SIYOU=1"));
    QCOMPARE(back.FName, QStringLiteral("x⇔[FORM1]"));
    QCOMPARE(back.FSize, 10);

    // The edit screen's trailing LF only ends the line.
    record.NAIYOU = QStringLiteral("hello⇔world\n");
    settings.save(QStringLiteral("FORM3"), record);
    QVERIFY(settings.bytes().contains("NAIYOU=hello\x81\xccworld\r\nFName="));
}

void TestStore::shouldWriteThroughASymlink()
{
    SettingsFixture settings;
    const QString real = settings.dir() + QStringLiteral("/elsewhere/real.ini");
    QDir().mkpath(QFileInfo(real).path());
    QDir().mkpath(QFileInfo(settings.path()).path());
    QVERIFY(QFile::link(QStringLiteral("../elsewhere/real.ini"), settings.path()));

    settings.save(QStringLiteral("FORM3"), japaneseNote());
    QVERIFY(QFileInfo(settings.path()).isSymLink());
    QVERIFY(QFile(real).size() > 0);
    QCOMPARE(settings.load(QStringLiteral("FORM3")), japaneseNote());
}

void TestStore::shouldKeepTheOldFileWhenAWriteFails()
{
    SettingsFixture settings;
    const QByteArray before = "[FORM3]\r\nSIYOU= 1\r\n";
    settings.write(before);
    QVERIFY(QFile::setPermissions(settings.path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    savedWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countSaveWarnings);
    NoteSettings record = japaneseNote();
    settings.save(QStringLiteral("FORM3"), record);
    settings.save(QStringLiteral("FORM4"), record);
    qInstallMessageHandler(previous);

    QCOMPARE(settings.bytes(), before);
    QCOMPARE(savedWarnings, 1);
    QCOMPARE(QDir(QFileInfo(settings.path()).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // Writable again: the next save lands and a later failure warns again.
    QVERIFY(QFile::setPermissions(settings.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    settings.save(QStringLiteral("FORM3"), record);
    QCOMPARE(settings.load(QStringLiteral("FORM3")), record);
    QVERIFY(QFile::setPermissions(settings.path(), QFileDevice::ReadOwner));
    qInstallMessageHandler(countSaveWarnings);
    // The same record again would change no byte and need no write.
    record.POJIX += 15;
    settings.save(QStringLiteral("FORM3"), record);
    qInstallMessageHandler(previous);
    QCOMPARE(savedWarnings, 2);
}

void TestStore::shouldCreateTheDirectoryOnFirstWrite()
{
    SettingsFixture settings;
    SetSettingsFilePath(settings.dir() + QStringLiteral("/a/b/c/nopi.ini"));
    settings.save(QStringLiteral("FORM3"), japaneseNote());
    QCOMPARE(settings.load(QStringLiteral("FORM3")), japaneseNote());
}

void TestStore::shouldReadDamagedFilesSensibly_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("naiyou");
    QTest::addColumn<int>("siyou");

    QTest::newRow("invalid Shift-JIS reads as ・")
            << QByteArray("[FORM3]\nSIYOU=1\nNAIYOU=a\x85\x40" "b\x80" "c\xfd\n") << "a・b・c・" << 1;
    QTest::newRow("lead byte at the end of a value")
            << QByteArray("[FORM3]\nNAIYOU=x\x82\nSIYOU=1\n") << "x・" << 1;
    QTest::newRow("a section with only some keys") << QByteArray("[FORM3]\nSIYOU=1\n") << "" << 1;
    QTest::newRow("a 1 MB line") << QByteArray("[FORM3]\nSIYOU=1\nJUNK=") + QByteArray(1 << 20, 'x') + "\nNAIYOU=ok\n"
                                 << "ok" << 1;
    QTest::newRow("a 1 MB value") << QByteArray("[FORM3]\nNAIYOU=") + QByteArray(1 << 20, 'y') + "\nSIYOU=1\n"
                                  << QString(1 << 20, QLatin1Char('y')) << 1;

    QRandomGenerator random(20261207);
    for (int i = 0; i < 20; ++i) {
        QByteArray noise(int(random.bounded(1, 4096)), Qt::Uninitialized);
        for (char &c : noise)
            c = char(random.bounded(256));
        QTest::newRow(qPrintable(QStringLiteral("random bytes %1").arg(i)))
                << noise + "\n[FORM3]\nSIYOU=1\nNAIYOU=end\n" << "end" << 1;
    }
}

void TestStore::shouldReadDamagedFilesSensibly()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, naiyou);
    QFETCH(int, siyou);
    SettingsFixture settings;
    settings.write(file);

    const NoteSettings record = settings.load(QStringLiteral("FORM3"));
    if (record.NAIYOU != naiyou || record.SIYOU != siyou) {
        // Random bytes may hold a [FORM3] of their own, which then counts.
        QVERIFY2(QTest::currentDataTag() && QByteArray(QTest::currentDataTag()).startsWith("random"),
                 qPrintable(record.NAIYOU.left(80)));
    }
    // Whatever was read can be written back and reads the same.
    settings.save(QStringLiteral("FORM3"), record);
    QCOMPARE(settings.load(QStringLiteral("FORM3")), record);
}

void TestStore::shouldTrimAtNull_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks around") << "  note  " << "note";
    QTest::newRow("cut at NUL") << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd") << "ab";
    QTest::newRow("blank buffer") << QString(200, QLatin1Char(' ')) << "";
    QTest::newRow("inner blanks kept") << " a b " << "a b";
}

void TestStore::shouldTrimAtNull()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TrimAtNull(text), expected);
}

void TestStore::shouldLeaveAFreedSlotsKeys()
{
    SettingsFixture settings;
    NoteSettings record = japaneseNote();
    settings.save(QStringLiteral("FORM3"), record);
    record.SIYOU = 0;
    settings.save(QStringLiteral("FORM3"), record);
    const QByteArray bytes = settings.unstampedBytes();
    QVERIFY(bytes.startsWith("[FORM3]\r\nSIYOU= 0\r\n"));
    QCOMPARE(bytes.count("\r\n"), 14);
    QCOMPARE(settings.load(QStringLiteral("FORM3")), record);
}

void TestStore::shouldTellWhyTheFileCannotBeRead_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("absent") << "deleted";
    QTest::newRow("readable") << "";
    QTest::newRow("a directory") << "a directory";
    QTest::newRow("a FIFO") << "a FIFO";
    QTest::newRow("over the size limit") << "over the size limit";
    QTest::newRow("mode 000") << "mode 000";
}

void TestStore::shouldTellWhyTheFileCannotBeRead()
{
    QFETCH(QString, fault);
    if (rootIgnoresIt(fault))
        QSKIP("root reads and writes whatever the mode says");
    SettingsFixture settings;
    NoteSettings before;
    before.NAIYOU = QStringLiteral("before");
    settings.save(QStringLiteral("FORM3"), before);
    ResetProgramState();
    const QByteArray original = settings.bytes();
    setFault(settings, fault, true);
    const QFileInfo kind(settings.path());
    const QString reason = reasonOf(fault);
    QString reported;
    SetSaveProblemHandler([&](const QString &, const QString &why) { reported = why; });
    const QtMessageHandler previous = qInstallMessageHandler(countSaveWarnings);

    // Opening a FIFO would wait for a writer for good: end the run instead.
    alarm(20);
    const QString problem = SettingsFileProblem();
    SectionRead read;
    settings.load(QStringLiteral("FORM3"), &read);
    settings.save(QStringLiteral("FORM3"), japaneseNote());
    alarm(0);
    qInstallMessageHandler(previous);
    SetSaveProblemHandler(nullptr);

    QCOMPARE(problem, reason);

    if (reason.isEmpty()) {
        QCOMPARE(read, fault.isEmpty() ? SectionRead::FromFile : SectionRead::Defaults);
        QCOMPARE(settings.load(QStringLiteral("FORM3"), &read), japaneseNote());
        return;
    }
    // What cannot be read is not written over either, and the save says why.
    QCOMPARE(read, SectionRead::Defaults);
    QCOMPARE(reported, reason);
    QCOMPARE(QFileInfo(settings.path()).isDir(), kind.isDir());
    QCOMPARE(QFileInfo(settings.path()).isFile(), kind.isFile());
    QCOMPARE(QFileInfo(settings.path()).size(), kind.size());
    setFault(settings, fault, false);
    if (fault == QLatin1String("mode 000"))
        QCOMPARE(settings.bytes(), original);
}

void TestStore::shouldKeepWhatThisRunHoldsWhenTheFileGoes_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("deleted") << "deleted";
    QTest::newRow("replaced by garbage") << "garbage";
    QTest::newRow("half-written") << "half-written";
    QTest::newRow("replaced by a directory") << "a directory";
    QTest::newRow("replaced by a FIFO") << "a FIFO";
    QTest::newRow("replaced by a link to /dev/full") << "a link to /dev/full";
}

void TestStore::shouldKeepWhatThisRunHoldsWhenTheFileGoes()
{
    QFETCH(QString, fault);
    SettingsFixture settings;
    NoteSettings other = japaneseNote();
    other.NAIYOU = QStringLiteral("四");
    settings.save(QStringLiteral("FORM3"), japaneseNote());
    settings.save(QStringLiteral("FORM4"), other);
    ResetProgramState(); // a new run that has only read the file

    SectionRead read;
    QCOMPARE(settings.load(QStringLiteral("FORM3"), &read), japaneseNote());
    QCOMPARE(read, SectionRead::FromFile);
    setFault(settings, fault, true);

    QCOMPARE(settings.load(QStringLiteral("FORM3"), &read), japaneseNote());
    QCOMPARE(read, SectionRead::FromMemory);
    // Never read whole this run: nothing to fall back on.
    settings.load(QStringLiteral("FORM4"), &read);
    QCOMPARE(read, SectionRead::Defaults);

    setFault(settings, fault, false);
    settings.save(QStringLiteral("FORM3"), settings.load(QStringLiteral("FORM3")));
    ResetProgramState();
    QCOMPARE(settings.load(QStringLiteral("FORM3"), &read), japaneseNote());
    QCOMPARE(read, SectionRead::FromFile);
}

void TestStore::shouldKeepACopyOfADamagedFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("copied");
    QTest::newRow("random bytes") << garbage(4096) << true;
    QTest::newRow("another program's file") << QByteArray("[Desktop Entry]\nName=x\n") << true;
    QTest::newRow("keys without their header") << QByteArray("SIYOU= 1\r\nNAIYOU=memo\r\n") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("blank lines and a Ctrl-Z") << QByteArray("\r\n \t\r\n\x1a") << false;
    QTest::newRow("one section of ours among others") << QByteArray("[Other]\nk=v\n[form9]\nSIYOU=1\n") << false;
}

void TestStore::shouldKeepACopyOfADamagedFile()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, copied);
    SettingsFixture settings;
    settings.write(file);
    settings.save(QStringLiteral("FORM3"), japaneseNote());
    const QStringList copies = settings.damagedCopies();
    QCOMPARE(copies.size(), copied ? 1 : 0);
    // The damaged bytes live on in the copy only: the file is ours again.
    if (copied)
        QCOMPARE(settings.unstampedBytes(), QByteArray::fromStdString(SectionText("FORM3", japaneseNote())));
    SectionRead read;
    ResetProgramState();
    QCOMPARE(settings.load(QStringLiteral("FORM3"), &read), japaneseNote());
    QCOMPARE(read, SectionRead::FromFile);
    if (!copied)
        return;

    const QString copy = settings.folder() + QLatin1Char('/') + copies.first();
    QVERIFY2(QRegularExpression(QStringLiteral("^nopi\\.ini\\.damaged-\\d{8}-\\d{6}$")).match(copies.first()).hasMatch(),
             qPrintable(copies.first()));
    QFile kept(copy);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), file);
    struct stat info;
    QCOMPARE(stat(QFile::encodeName(copy).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));

    // Written over once, the file is ours: later saves copy nothing.
    settings.save(QStringLiteral("FORM4"), japaneseNote());
    QCOMPARE(settings.damagedCopies().size(), 1);

    // Damaged again, within the same second or not: a second copy, the first kept.
    settings.write(file + "again");
    settings.save(QStringLiteral("FORM3"), japaneseNote());
    const QStringList both = settings.damagedCopies();
    QCOMPARE(both.size(), 2);
    QCOMPARE(both.first(), copies.first());
    QVERIFY(kept.seek(0));
    QCOMPARE(kept.readAll(), file);
    QFile second(settings.folder() + QLatin1Char('/') + both.last());
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), file + "again");
}

void TestStore::shouldHoldAndReportSavesThatFail_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("read-only folder") << "read-only folder";
    QTest::newRow("a directory at the path") << "a directory";
    QTest::newRow("a file in the folder's place") << "a file in the folder's place";
    QTest::newRow("damaged file in a read-only folder") << "damaged file in a read-only folder";
}

void TestStore::shouldHoldAndReportSavesThatFail()
{
    QFETCH(QString, fault);
    if (rootIgnoresIt(fault))
        QSKIP("root reads and writes whatever the mode says");
    SettingsFixture settings;
    settings.save(QStringLiteral("FORM3"), japaneseNote());
    setFault(settings, fault, true);
    const QByteArray atFault = settings.bytes();

    QStringList reports;
    SetSaveProblemHandler([&](const QString &path, const QString &reason) { reports << path + QLatin1Char('|') + reason; });
    savedWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countSaveWarnings);
    NoteSettings third = japaneseNote();
    third.NAIYOU = QStringLiteral("三");
    NoteSettings fourth = japaneseNote();
    fourth.NAIYOU = QStringLiteral("四");
    settings.save(QStringLiteral("FORM3"), third);
    settings.save(QStringLiteral("FORM4"), fourth);
    qInstallMessageHandler(previous);
    SetSaveProblemHandler(nullptr);

    QCOMPARE(reports, QStringList{settings.path() + QLatin1Char('|') + reasonOf(fault)});
    QCOMPARE(savedWarnings, 1);
    QCOMPARE(settings.bytes(), atFault);
    // What was saved wins while the saves are pending.
    SectionRead read;
    QCOMPARE(settings.load(QStringLiteral("FORM3"), &read), third);
    QCOMPARE(read, SectionRead::Pending);
    QCOMPARE(settings.load(QStringLiteral("FORM4"), &read), fourth);
    QCOMPARE(read, SectionRead::Pending);

    // One save after the fault is gone writes every pending section.
    setFault(settings, fault, false);
    NoteSettings fifth;
    fifth.SIYOU = 1;
    settings.save(QStringLiteral("FORM5"), fifth);
    ResetProgramState();
    QCOMPARE(settings.load(QStringLiteral("FORM3"), &read), third);
    QCOMPARE(read, SectionRead::FromFile);
    QCOMPARE(settings.load(QStringLiteral("FORM4"), &read), fourth);
    QCOMPARE(read, SectionRead::FromFile);
    QCOMPARE(settings.load(QStringLiteral("FORM5"), &read), fifth);
    QCOMPARE(read, SectionRead::FromFile);
}

// Another program changes the file behind this run's back. Same size and
// same inode or same times each time, so only the file's full version tells
// the change, and where the times are too coarse, reading it again.
void TestStore::shouldSeeEveryChangeByAnotherWriter_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("settled"); // the run read the file long after its last change
    QTest::newRow("in place, at once, again and again") << "in place" << false;
    QTest::newRow("in place, its times put back") << "times put back" << true;
    QTest::newRow("by rename, with the old file's times") << "by rename" << true;
}

void TestStore::shouldSeeEveryChangeByAnotherWriter()
{
    QFETCH(QString, writer);
    QFETCH(bool, settled);
    SettingsFixture settings;
    NoteSettings record = japaneseNote();
    record.NAIYOU = QStringLiteral("memo 0");
    settings.save(QStringLiteral("FORM3"), record);
    if (settled)
        QTest::qSleep(2100); // past the coarsest file time step: the times are trusted
    const QByteArray path = QFile::encodeName(settings.path());

    for (int change = 1; change <= (settled ? 1 : 50); ++change) {
        QCOMPARE(settings.load(QStringLiteral("FORM3")), record);
        const QByteArray before = "NAIYOU=" + sjis(record.NAIYOU);
        record.NAIYOU = QStringLiteral("memo %1").arg(change % 10);
        const QByteArray bytes = settings.bytes().replace(before, "NAIYOU=" + sjis(record.NAIYOU));
        struct stat old;
        QCOMPARE(stat(path.constData(), &old), 0);
        if (writer == QLatin1String("by rename")) {
            const QByteArray other = path + ".other";
            QFile file(QFile::decodeName(other));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            file.close();
            const struct timespec times[2] = {old.st_atim, old.st_mtim};
            QCOMPARE(utimensat(AT_FDCWD, other.constData(), times, 0), 0);
            QCOMPARE(rename(other.constData(), path.constData()), 0);
        } else {
            settings.write(bytes);
            if (writer == QLatin1String("times put back")) {
                const struct timespec times[2] = {old.st_atim, old.st_mtim};
                QCOMPARE(utimensat(AT_FDCWD, path.constData(), times, 0), 0);
            }
        }
        QCOMPARE(QFileInfo(settings.path()).size(), qint64(old.st_size));
    }
    QCOMPARE(settings.load(QStringLiteral("FORM3")), record);
}

// A new run loads each note and saves it back, as every start does.
void TestStore::shouldReplaceTheFileOnlyForNewBytes_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: as this program saved it
    QTest::addColumn<bool>("replaced");
    QTest::newRow("as this program saved it") << QByteArray() << false;
    QTest::newRow("the same values in other text forms")
            << QByteArray("[FORM3]\nSIYOU=1\nB_Color=0\nPOJIX=0\nPOJIY=0\nYOKO=1\nTATE=1\nALARM=0\nA_TIME=0\n"
                          "NAIYOU=\nFName=x\nFSize=10\nFBold=False\nFItalic=False\n")
            << true;
    QTest::newRow("a key missing") << QByteArray("[FORM3]\r\nSIYOU= 1\r\n") << true;
}

void TestStore::shouldReplaceTheFileOnlyForNewBytes()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, replaced);
    SettingsFixture settings;
    if (file.isEmpty()) {
        settings.save(QStringLiteral("FORM3"), japaneseNote());
        settings.save(QStringLiteral("FORM4"), NoteSettings());
    } else {
        settings.write(file);
    }
    const QByteArray before = settings.bytes();
    const QByteArray path = QFile::encodeName(settings.path());
    struct stat old;
    QCOMPARE(stat(path.constData(), &old), 0);
    ResetProgramState();

    for (const QString &section : {QStringLiteral("FORM3"), QStringLiteral("FORM4")}) {
        const NoteSettings record = settings.load(section);
        if (file.isEmpty() || section == QLatin1String("FORM3")) {
            settings.save(section, record);
        }
    }
    struct stat now;
    QCOMPARE(stat(path.constData(), &now), 0);
    const bool sameFile = now.st_ino == old.st_ino && now.st_mtim.tv_sec == old.st_mtim.tv_sec
            && now.st_mtim.tv_nsec == old.st_mtim.tv_nsec && now.st_ctim.tv_nsec == old.st_ctim.tv_nsec;
    QCOMPARE(sameFile, !replaced);
    QCOMPARE(settings.bytes() == before, !replaced);
}

// Saves made while the writer is busy go to the file together; until they
// are there, a read answers with what the file will give back.
void TestStore::shouldWriteWhatWasHandedOverTogether()
{
    SettingsFixture settings;
    settings.write("[FORM1]\r\nSIYOU= 0\r\n");
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(settings.folder()).constData(), IN_MOVED_TO) >= 0);

    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        NoteSettings record = japaneseNote();
        record.NAIYOU = QStringLiteral(" note %1 \n").arg(slot);
        CurrentSection = NoteSection(slot);
        SaveNoteSettings(record);
        NoteSettings back;
        const SectionRead read = LoadNoteSettings(back);
        QVERIFY(read == SectionRead::Pending || read == SectionRead::FromFile);
        QCOMPARE(back.NAIYOU, QStringLiteral("note %1").arg(slot));
    }
    QVERIFY(WaitForSaves(10000));
    char buffer[4096];
    int renames = 0;
    for (ssize_t length; (length = read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            renames += event->len > 0 && QByteArray(event->name) == "nopi.ini";
            at += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
    close(watch);
    QVERIFY2(renames >= 1 && renames < NoteSlots::Count, qPrintable(QString::number(renames)));
    ResetProgramState();
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        SectionRead read;
        QCOMPARE(settings.load(NoteSection(slot), &read).NAIYOU, QStringLiteral("note %1").arg(slot));
        QCOMPARE(read, SectionRead::FromFile);
    }
}

// A file deleted or damaged under a run gets back, with the next save, every
// section the run holds: the launcher's place as much as the notes.
void TestStore::shouldWriteBackWhatTheFileLost_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("deleted") << "deleted";
    QTest::newRow("replaced by garbage") << "garbage";
}

void TestStore::shouldWriteBackWhatTheFileLost()
{
    QFETCH(QString, fault);
    SettingsFixture settings;
    NoteSettings launcher;
    launcher.POJIX = 4500;
    launcher.POJIY = 9000;
    NoteSettings freed = japaneseNote();
    freed.SIYOU = 0;
    settings.save(LauncherSection(), launcher);
    settings.save(NoteSection(3), japaneseNote());
    settings.save(NoteSection(4), freed);
    setFault(settings, fault, true);

    NoteSettings moved = japaneseNote();
    moved.POJIX += 1500;
    settings.save(NoteSection(3), moved);
    const QByteArray bytes = settings.bytes();
    QVERIFY(bytes.startsWith("[FORM"));
    QCOMPARE(bytes.count("[FORM"), 3);
    ResetProgramState();
    SectionRead read;
    QCOMPARE(settings.load(LauncherSection(), &read), launcher);
    QCOMPARE(read, SectionRead::FromFile);
    QCOMPARE(settings.load(NoteSection(3)), moved);
    QCOMPARE(settings.load(NoteSection(4)), freed);
}

void TestStore::shouldTryAFailedSaveAgainByItself()
{
    SettingsFixture settings;
    settings.save(NoteSection(3), japaneseNote());
    setFault(settings, QStringLiteral("read-only file"), true);
    NoteSettings changed = japaneseNote();
    changed.NAIYOU = QStringLiteral("三");
    settings.save(NoteSection(3), changed);
    setFault(settings, QStringLiteral("read-only file"), false);
    // No other save comes: the writer tries again on its own.
    QTRY_VERIFY_WITH_TIMEOUT(settings.bytes().contains("NAIYOU=" + sjis(QStringLiteral("三"))), 10000);
}

// A sync engine that takes back what it just handed over sets our file's old
// time on it again; the engine then believes it knows this version.
void TestStore::shouldGiveOurFileANewTimeWhenItsTimeIsSetBack_data()
{
    QTest::addColumn<bool>("ours");
    QTest::newRow("our bytes, an older time: a new time") << true;
    QTest::newRow("other bytes, an older time: left alone") << false;
}

void TestStore::shouldGiveOurFileANewTimeWhenItsTimeIsSetBack()
{
    QFETCH(bool, ours);
    SettingsFixture settings;
    NoteSettings record = japaneseNote();
    record.ALARM = 2;
    settings.save(NoteSection(3), record);
    const QByteArray path = QFile::encodeName(settings.path());
    if (!ours) {
        QFile file(settings.path());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.readAll().indexOf("ALARM= 2") + 7));
        file.write("1");
    }
    struct stat written;
    QCOMPARE(stat(path.constData(), &written), 0);
    const struct timespec old[2] = {{written.st_mtim.tv_sec - 3600, 0}, {written.st_mtim.tv_sec - 3600, 0}};
    QCOMPARE(utimensat(AT_FDCWD, path.constData(), old, 0), 0);

    QCOMPARE(settings.load(NoteSection(3)).ALARM, ours ? 2 : 1);
    QVERIFY(WaitForSaves(10000));
    struct stat now;
    QCOMPARE(stat(path.constData(), &now), 0);
    QCOMPARE(now.st_mtim.tv_sec >= written.st_mtim.tv_sec, ours);
    QCOMPARE(now.st_ino, written.st_ino);
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
