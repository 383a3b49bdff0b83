// SPDX-License-Identifier: MIT
// Versions of the settings file made on two or three machines, merged note by
// note: what each case keeps, that the result does not depend on the order
// or the machine, and that a plain profile reader reads it as it should.

#include "SettingsFixture.h"
#include "store/ConflictCopies.h"
#include "store/Clock.h"
#include "store/Cp932.h"
#include "store/FileAccess.h"
#include "store/FileSave.h"
#include "store/ProfileMerge.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

NoteSettings note(const QString &text, int x = 3000)
{
    NoteSettings record;
    record.SIYOU = 1;
    record.B_Color = 8454143;
    record.POJIX = x;
    record.POJIY = 3000;
    record.YOKO = 2700;
    record.TATE = 1500;
    record.NAIYOU = text;
    return record;
}

// A file as a machine leaves it: every section it saved stamped with the
// changes it made, at the times given.
class Version
{
public:
    Version() = default;
    explicit Version(const std::string &file) : m_sections(SectionsOf(file)) { }

    // `machine` saves `record` into slot `slot` (0: the launcher) at `time`.
    Version &save(int slot, const NoteSettings &record, const std::string &machine, std::int64_t time,
                  std::optional<Sync::AlarmCrossing> crossing = std::nullopt)
    {
        std::optional<StampedSection> &section = m_sections[size_t(slot == 0 ? 0 : slot - NoteSlots::First + 1)];
        const StampedSection prior = section ? *section : StampedSection();
        Sync::Stamp stamp = Sync::Restamp(prior.stamp, prior.record, record, Sync::Dot{machine, time});
        if (crossing)
            stamp.crossing = *crossing;
        section = StampedSection{record, stamp};
        return *this;
    }
    std::string file() const { return CanonicalFile(m_sections, {}); }

private:
    VersionSections m_sections;
};

std::string merged(const std::vector<std::string> &files, std::vector<MergedVersions::Unplaced> *unplaced = nullptr)
{
    std::vector<std::string_view> views(files.begin(), files.end());
    MergedFiles result = MergeFiles(views);
    if (unplaced)
        *unplaced = result.unplaced;
    return result.content;
}

// The profile reader's rules, written apart from the store's reader: the
// first section of a name, letter case aside; its first key of a name;
// blanks around values dropped; a number is its leading signed digits.
QString readKey(const std::string &file, const std::string &section, const std::string &key)
{
    const auto same = [](std::string a, std::string b) {
        for (auto *text : {&a, &b})
            std::transform(text->begin(), text->end(), text->begin(), [](unsigned char c) { return std::toupper(c); });
        return a == b;
    };
    const auto trim = [](std::string text) {
        const size_t first = text.find_first_not_of(" \t");
        const size_t last = text.find_last_not_of(" \t");
        return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    };
    bool inSection = false;
    bool sectionSeen = false;
    size_t pos = 0;
    while (pos < file.size()) {
        const size_t end = std::min(file.find('\r', pos), file.find('\n', pos));
        const std::string line = file.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? file.size() : end + 1;
        const std::string trimmed = trim(line);
        if (!trimmed.empty() && trimmed[0] == '[' && trimmed.rfind(']') != std::string::npos) {
            if (inSection)
                return QString();
            inSection = !sectionSeen && same(trim(trimmed.substr(1, trimmed.rfind(']') - 1)), section);
            sectionSeen = sectionSeen || inSection;
        } else if (inSection && line.find('=') != std::string::npos && same(trim(line.substr(0, line.find('='))), key)) {
            return Cp932::decode(trim(line.substr(line.find('=') + 1)));
        }
    }
    return QString();
}

NoteSettings readNote(const std::string &file, int slot)
{
    const std::string section = "FORM" + std::to_string(slot);
    const auto number = [&](const char *key) { return readKey(file, section, key).toInt(); };
    NoteSettings record;
    record.SIYOU = number("SIYOU");
    record.B_Color = number("B_Color");
    record.POJIX = number("POJIX");
    record.POJIY = number("POJIY");
    record.YOKO = number("YOKO");
    record.TATE = number("TATE");
    record.ALARM = number("ALARM");
    record.A_TIME = number("A_TIME");
    record.NAIYOU = readKey(file, section, "NAIYOU");
    record.FName = readKey(file, section, "FName");
    record.FSize = number("FSize");
    record.FBold = readKey(file, section, "FBold");
    record.FItalic = readKey(file, section, "FItalic");
    return record;
}

QStringList texts(const std::string &file)
{
    QStringList found;
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        const NoteSettings record = readNote(file, slot);
        if (record.SIYOU == 1)
            found << record.NAIYOU;
    }
    return found;
}

// A file from before stamps, as the machines had it when they parted.
std::string common()
{
    Version base;
    base.save(3, note(QStringLiteral("買い物")), "aaaaaaaa", 1000).save(4, note(QStringLiteral("会議"), 6000), "aaaaaaaa", 1000);
    return base.file();
}

}

class TestMerge : public QObject
{
    Q_OBJECT

private slots:
    void shouldMergeNoteByNote_data();
    void shouldMergeNoteByNote();
    void shouldGiveTheSameBytesInAnyOrder();
    void shouldKeepATextThatFindsNoSlotForALaterMerge();
    void shouldReadEveryMergedFileAsAPlainReaderDoes();
    void shouldReadStampsOrNone_data();
    void shouldReadStampsOrNone();
    void shouldKnowConflictCopiesByTheirNames_data();
    void shouldKnowConflictCopiesByTheirNames();
    void shouldMergeConflictCopiesAndPutThemAway();
    void shouldWriteBackAChangeTheArrivingVersionLacks();
    void shouldTellASaveThatTookTheFilesVersion();
};

// Each row: the versions, built from the common file by changes of machines
// a and b (and c), and what the merge must hold.
void TestMerge::shouldMergeNoteByNote_data()
{
    QTest::addColumn<std::vector<std::string>>("files");
    QTest::addColumn<QStringList>("notes");     // the texts in slot order
    QTest::addColumn<int>("placeOfFirst");      // POJIX of slot 3
    QTest::addColumn<int>("alarmOfFirst");      // ALARM of slot 3

    const std::string base = common();
    const NoteSettings shopping = note(QStringLiteral("買い物"));
    const NoteSettings meeting = note(QStringLiteral("会議"), 6000);
    NoteSettings moved = shopping;
    moved.POJIX = 4500;
    NoteSettings movedFurther = shopping;
    movedFurther.POJIX = 9000;
    NoteSettings edited = shopping;
    edited.NAIYOU = QStringLiteral("買い物⇔牛乳");
    NoteSettings editedElsewhere = shopping;
    editedElsewhere.NAIYOU = QStringLiteral("買い物⇔パン");
    editedElsewhere.B_Color = 12632319;
    NoteSettings meetingEdited = meeting;
    meetingEdited.NAIYOU = QStringLiteral("会議は3時");
    NoteSettings thrown = shopping;
    thrown.SIYOU = 0;

    QTest::newRow("one side changed")
            << std::vector{base, Version(base).save(3, moved, "bbbbbbbb", 2000).file()}
            << QStringList{QStringLiteral("買い物"), QStringLiteral("会議")} << 4500 << 0;
    QTest::newRow("each changed another note")
            << std::vector{Version(base).save(3, moved, "aaaaaaaa", 2000).file(),
                           Version(base).save(4, meetingEdited, "bbbbbbbb", 2001).file()}
            << QStringList{QStringLiteral("買い物"), QStringLiteral("会議は3時")} << 4500 << 0;
    QTest::newRow("one note's place on both: the later")
            << std::vector{Version(base).save(3, moved, "aaaaaaaa", 2000).file(),
                           Version(base).save(3, movedFurther, "bbbbbbbb", 2001).file()}
            << QStringList{QStringLiteral("買い物"), QStringLiteral("会議")} << 9000 << 0;
    QTest::newRow("place on one, text on the other: both kept, one note")
            << std::vector{Version(base).save(3, moved, "aaaaaaaa", 2005).file(),
                           Version(base).save(3, edited, "bbbbbbbb", 2001).file()}
            << QStringList{QStringLiteral("買い物⇔牛乳"), QStringLiteral("会議")} << 4500 << 0;
    QTest::newRow("one note's text on both: two notes, the later in its slot")
            << std::vector{Version(base).save(3, edited, "aaaaaaaa", 2000).file(),
                           Version(base).save(3, editedElsewhere, "bbbbbbbb", 2001).file()}
            << QStringList{QStringLiteral("買い物⇔パン"), QStringLiteral("会議"), QStringLiteral("買い物⇔牛乳")} << 3000 << 0;
    QTest::newRow("thrown away on one, changed on the other: it comes back")
            << std::vector{Version(base).save(3, thrown, "aaaaaaaa", 2005).file(),
                           Version(base).save(3, edited, "bbbbbbbb", 2001).file()}
            << QStringList{QStringLiteral("買い物⇔牛乳"), QStringLiteral("会議")} << 3000 << 0;
    QTest::newRow("thrown away after the change was seen: it stays away")
            << std::vector{Version(base).save(3, edited, "bbbbbbbb", 2001).save(3, thrown, "aaaaaaaa", 2005).file(),
                           Version(base).save(3, edited, "bbbbbbbb", 2001).file()}
            << QStringList{QStringLiteral("会議")} << 3000 << 0;
    QTest::newRow("three versions: the file and two conflict copies")
            << std::vector{Version(base).save(3, moved, "aaaaaaaa", 2000).file(),
                           Version(base).save(4, meetingEdited, "bbbbbbbb", 2001).file(),
                           Version(base).save(5, note(QStringLiteral("歯医者")), "cccccccc", 2002).file()}
            << QStringList{QStringLiteral("買い物"), QStringLiteral("会議は3時"), QStringLiteral("歯医者")} << 4500 << 0;

    // An alarm rung on one machine, and stopped on the other whose clock is
    // ahead, for the same crossing: the stop wins, however the times fall.
    NoteSettings armed = shopping;
    armed.ALARM = 1;
    armed.A_TIME = 900;
    NoteSettings ringing = armed;
    ringing.ALARM = 2;
    const std::string set = Version(base).save(3, armed, "aaaaaaaa", 1500).file();
    QTest::newRow("a ring and a stop of one crossing: the stop")
            << std::vector{Version(set).save(3, ringing, "aaaaaaaa", 5000, Sync::AlarmCrossing{202612070900, false}).file(),
                           Version(set)
                                   .save(3, ringing, "bbbbbbbb", 3000, Sync::AlarmCrossing{202612070900, false})
                                   .save(3, armed, "bbbbbbbb", 4000, Sync::AlarmCrossing{202612070900, true})
                                   .file()}
            << QStringList{QStringLiteral("買い物"), QStringLiteral("会議")} << 3000 << 1;

    // Files from before stamps: a change made on each since is told from
    // the common values; two texts nobody can order are both kept.
    std::string stampless = common();
    for (size_t at = stampless.find("SYNC="); at != std::string::npos; at = stampless.find("SYNC="))
        stampless.erase(at, stampless.find('\n', at) - at + 1);
    QTest::newRow("a file from before stamps, a change on each")
            << std::vector{Version(stampless).save(3, moved, "aaaaaaaa", 2000).file(),
                           Version(stampless).save(4, meetingEdited, "bbbbbbbb", 2001).file()}
            << QStringList{QStringLiteral("買い物"), QStringLiteral("会議は3時")} << 4500 << 0;
    std::string otherStampless = stampless;
    const std::string before = Cp932::encode(QStringLiteral("会議"));
    otherStampless.replace(otherStampless.find(before), before.size(), Cp932::encode(QStringLiteral("会議室")));
    QTest::newRow("two files from before stamps: both texts kept")
            << std::vector{stampless, otherStampless}
            << QStringList{QStringLiteral("買い物"), QStringLiteral("会議室"), QStringLiteral("会議")} << 3000 << 0;
}

void TestMerge::shouldMergeNoteByNote()
{
    QFETCH(std::vector<std::string>, files);
    QFETCH(QStringList, notes);
    QFETCH(int, placeOfFirst);
    QFETCH(int, alarmOfFirst);

    const std::string result = merged(files);
    QCOMPARE(texts(result), notes);
    QCOMPARE(readNote(result, 3).POJIX, placeOfFirst);
    QCOMPARE(readNote(result, 3).ALARM, alarmOfFirst);
    // A note made of the other text keeps its own look, a little off.
    if (notes.size() == 3 && readNote(result, 5).NAIYOU == notes[2] && notes[2].startsWith(QStringLiteral("買い物"))) {
        QCOMPARE(readNote(result, 5).POJIX, readNote(result, 3).POJIX + MergedNoteOffsetTwips);
        QVERIFY(readNote(result, 5).B_Color != readNote(result, 3).B_Color
                || readNote(result, 5).NAIYOU != readNote(result, 3).NAIYOU);
    }
    // Merged again with any of its inputs, or with itself, nothing moves:
    // two machines never answer each other's merges.
    for (const std::string &file : files)
        QCOMPARE(merged({result, file}), result);
    QCOMPARE(merged({result, result}), result);
}

void TestMerge::shouldGiveTheSameBytesInAnyOrder()
{
    const std::string base = common();
    NoteSettings a = note(QStringLiteral("買い物⇔牛乳"));
    NoteSettings b = note(QStringLiteral("買い物⇔パン"), 4200);
    NoteSettings c = note(QStringLiteral("会議は3時"), 6000);
    const std::vector<std::string> files = {Version(base).save(3, a, "aaaaaaaa", 2000).file(),
                                            Version(base).save(3, b, "bbbbbbbb", 2001).file(),
                                            Version(base).save(4, c, "cccccccc", 1999).save(0, note(QString(), 150), "cccccccc", 2002).file()};
    const std::string once = merged(files);
    QCOMPARE(merged({files[2], files[0], files[1]}), once);
    QCOMPARE(merged({files[1], files[2], files[0]}), once);
    // Two machines, each merging the other's version into its own.
    QCOMPARE(merged({merged({files[0], files[1]}), files[2]}), merged({merged({files[2], files[1]}), files[0]}));
    QCOMPARE(readKey(once, "FORM1", "POJIX").toInt(), 150);
    QCOMPARE(QString::fromStdString(once).count(QStringLiteral("[FORM1]")), 1);
}

// With every slot in use, the other text stays in its own version, and is
// merged from there as soon as a slot is free.
void TestMerge::shouldKeepATextThatFindsNoSlotForALaterMerge()
{
    Version full;
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot)
        full.save(slot, note(QStringLiteral("note %1").arg(slot)), "aaaaaaaa", 1000 + slot);
    const std::string base = full.file();
    const std::string mine = Version(base).save(7, note(QStringLiteral("mine")), "aaaaaaaa", 2000).file();
    const std::string theirs = Version(base).save(7, note(QStringLiteral("theirs")), "bbbbbbbb", 2001).file();

    std::vector<MergedVersions::Unplaced> unplaced;
    const std::string result = merged({mine, theirs}, &unplaced);
    QCOMPARE(unplaced.size(), size_t(1));
    QCOMPARE(unplaced[0].record.NAIYOU, QStringLiteral("mine"));
    QCOMPARE(readNote(result, 7).NAIYOU, QStringLiteral("theirs"));
    QVERIFY(!texts(result).contains(QStringLiteral("mine")));

    // Still none free: merged again, it stays out, and nothing changes.
    QCOMPARE(merged({result, mine}, &unplaced), result);
    QCOMPARE(unplaced.size(), size_t(1));

    NoteSettings thrown = note(QStringLiteral("note 12"));
    thrown.SIYOU = 0;
    const std::string freed = Version(result).save(12, thrown, "bbbbbbbb", 3000).file();
    const std::string later = merged({freed, mine}, &unplaced);
    QVERIFY(unplaced.empty());
    QCOMPARE(readNote(later, 12).NAIYOU, QStringLiteral("mine"));
    QCOMPARE(readNote(later, 7).NAIYOU, QStringLiteral("theirs"));
}

// Every merged file reads, with a reader of the plain profile rules that
// knows nothing of stamps, as the merge's own records.
void TestMerge::shouldReadEveryMergedFileAsAPlainReaderDoes()
{
    const std::string base = "; written by hand\r\n[Other]\r\nkey=value\r\n" + common() + "[form3]\r\nSIYOU=7\r\n";
    NoteSettings odd = note(QStringLiteral("  ＆ & = [x] ⇔ 改行  "));
    odd.FBold = QStringLiteral("True");
    odd.POJIX = -300;
    const std::string result = merged({Version(base).save(3, odd, "aaaaaaaa", 2000).file() + "extra=kept\r\n",
                                       Version(base).save(5, note(QStringLiteral("五")), "bbbbbbbb", 2001).file(), base});
    const VersionSections sections = SectionsOf(result);
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        const std::optional<StampedSection> &section = sections[size_t(slot - NoteSlots::First + 1)];
        if (!section)
            continue;
        QCOMPARE(readNote(result, slot), section->record);
    }
    QCOMPARE(readNote(result, 3).NAIYOU, QStringLiteral("＆ & = [x] ⇔ 改行"));
    // What the files held besides our keys is there, once.
    const QString text = QString::fromStdString(result);
    QCOMPARE(text.count(QStringLiteral("; written by hand")), 1);
    QCOMPARE(text.count(QStringLiteral("key=value")), 1);
    QCOMPARE(text.count(QStringLiteral("SIYOU=7")), 1);
}

// A stamp is read whole or not at all: a section with a stamp it cannot
// trust merges as one from before stamps, never on a misread change.
void TestMerge::shouldReadStampsOrNone_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("machines");
    QTest::newRow("as written") << "1 v=aaaaaaaa.mxe2o1a8,~41f6c12.0 t=aaaaaaaa.mxe2o1a8.0000abcd r=202612070930s" << true << 2;
    QTest::newRow("a later format") << "2 v=aaaaaaaa.mxe2o1a8" << false << 0;
    QTest::newRow("a time that is no number") << "1 v=aaaaaaaa.zz-9" << false << 0;
    QTest::newRow("a machine name of capitals") << "1 v=AAAAAAAA.1" << false << 0;
    QTest::newRow("a digest too short") << "1 t=aaaaaaaa.1.abc" << false << 0;
    QTest::newRow("an unknown part") << "1 q=1" << false << 0;
    QTest::newRow("a negative crossing") << "1 r=-5" << false << 0;
    QTest::newRow("blanks between parts") << "1  v=aaaaaaaa.1  " << true << 1;
    QString many = QStringLiteral("1 v=");
    for (int i = 0; i < 300; ++i)
        many += QStringLiteral("%1m%2.1").arg(i ? QStringLiteral(",") : QString()).arg(i, 7, 10, QLatin1Char('0'));
    QTest::newRow("three hundred machines") << many << false << 0;
}

void TestMerge::shouldReadStampsOrNone()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    QFETCH(int, machines);
    const Sync::Stamp stamp = Sync::ParseStamp(text.toStdString());
    QCOMPARE(!stamp.empty(), read);
    QCOMPARE(int(stamp.seen.size()), machines);
    if (read)
        QCOMPARE(Sync::ParseStamp(Sync::FormatStamp(stamp)), stamp);
}

void TestMerge::shouldKnowConflictCopiesByTheirNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // copy, temporary (of a sync program), or other
    QTest::newRow("Syncthing") << "nopi.sync-conflict-20261207-101500-ABCDEF7.ini" << "copy";
    QTest::newRow("Nextcloud") << "nopi (conflicted copy 2026-12-07 101500).ini" << "copy";
    QTest::newRow("Dropbox") << "nopi (laptop's conflicted copy 2026-12-07).ini" << "copy";
    QTest::newRow("the file itself") << "nopi.ini" << "other";
    QTest::newRow("our own temporary") << ".nopi.ini.Ab12Cd" << "other";
    QTest::newRow("Syncthing's temporary") << ".syncthing.nopi.ini.tmp" << "temporary";
    QTest::newRow("Syncthing's temporary of a copy") << ".syncthing.nopi.sync-conflict-20261207-101500-ABCDEF7.ini.tmp" << "temporary";
    QTest::newRow("Nextcloud's temporary") << ".nopi.ini.~2a41f7" << "temporary";
    QTest::newRow("another file's copy") << "notes.sync-conflict-20261207-101500-ABCDEF7.ini" << "other";
    QTest::newRow("another file's temporary") << ".syncthing.notes.ini.tmp" << "other";
    QTest::newRow("a damaged file kept aside") << "nopi.ini.damaged-20261207-101500" << "other";
    QTest::newRow("short device name") << "nopi.sync-conflict-20261207-101500-ABC.ini" << "other";
}

void TestMerge::shouldKnowConflictCopiesByTheirNames()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QCOMPARE(ConflictCopies::isCopyName(name.toStdString(), "nopi.ini"), kind == QLatin1String("copy"));
    QCOMPARE(ConflictCopies::isSyncTemporary(name.toStdString(), "nopi.ini"), kind == QLatin1String("temporary"));
}

// In the store: a conflict copy beside the file is merged into it and put
// away in the state folder; one that is no settings file is left alone.
void TestMerge::shouldMergeConflictCopiesAndPutThemAway()
{
    SettingsFixture settings;
    qputenv("XDG_STATE_HOME", QFile::encodeName(settings.dir() + QStringLiteral("/state")));
    const std::string base = common();
    settings.write(QByteArray::fromStdString(Version(base).save(3, note(QStringLiteral("買い物"), 4500), "aaaaaaaa", 2000).file()));
    const QString copy = settings.folder() + QStringLiteral("/nopi.sync-conflict-20261207-101500-ABCDEF7.ini");
    const QString junk = settings.folder() + QStringLiteral("/nopi (conflicted copy 2026-12-07 101500).ini");
    for (const auto &[path, bytes] : {std::pair(copy, Version(base).save(4, note(QStringLiteral("会議は3時"), 6000), "bbbbbbbb", 2001).file()),
                                      std::pair(junk, std::string("\x01\x02 not a settings file"))}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(bytes));
    }
    // Merged once the sync program is done with the copy: a moment after
    // it last changed.
    MergeConflictCopies();
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(copy), 10000);
    const std::string result = settings.bytes().toStdString();
    QCOMPARE(texts(result), (QStringList{QStringLiteral("買い物"), QStringLiteral("会議は3時")}));
    QCOMPARE(readNote(result, 3).POJIX, 4500);
    QVERIFY(QFile::exists(settings.dir() + QStringLiteral("/state/nopi/merged/nopi.sync-conflict-20261207-101500-ABCDEF7.ini")));
    QVERIFY(QFile::exists(junk));
    qunsetenv("XDG_STATE_HOME");
}

// Another machine's version takes the file's place and lacks a move made
// here: the move is written again, merged with it, once.
void TestMerge::shouldWriteBackAChangeTheArrivingVersionLacks()
{
    SettingsFixture settings;
    settings.write(QByteArray::fromStdString(common()));
    NoteSettings moved = settings.load(NoteSection(3));
    moved.POJIX = 4500;
    settings.save(NoteSection(3), moved);
    NoteSettings theirs = settings.load(NoteSection(4));
    theirs.NAIYOU = QStringLiteral("会議は3時");
    // What the other machine wrote, from the file as it was before the move.
    settings.write(QByteArray::fromStdString(Version(common()).save(4, theirs, "bbbbbbbb", Clock::now().toMSecsSinceEpoch() + 5).file()));

    SectionRead read;
    QCOMPARE(settings.load(NoteSection(3), &read).POJIX, 4500);
    QCOMPARE(read, SectionRead::Pending);
    QTRY_COMPARE_WITH_TIMEOUT(readNote(settings.bytes().toStdString(), 3).POJIX, 4500, 5000);
    const std::string result = settings.bytes().toStdString();
    QCOMPARE(readNote(result, 4).NAIYOU, QStringLiteral("会議は3時"));
    QCOMPARE(settings.load(NoteSection(4), &read).NAIYOU, QStringLiteral("会議は3時"));
    QCOMPARE(read, SectionRead::FromFile);
}

// The edit screen's ＯＫ saves a note twice; by the second save another
// machine's later move of it may already be merged in. That save changes no
// byte, but it is still a merge: the window is told to take the file's place.
void TestMerge::shouldTellASaveThatTookTheFilesVersion()
{
    NoteSettings edited = note(QStringLiteral("買い物 牛乳"));
    const Version ours = Version(common()).save(3, edited, "aaaaaaaa", 2000);
    NoteSettings moved = edited;
    moved.POJIX = 9000;
    const std::string file = Version(ours.file()).save(3, moved, "bbbbbbbb", 2005).file();

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("nopi.ini")).toStdString();
    std::string written;
    QVERIFY(FileAccess::replaceFile(path, file, nullptr));
    WriteRequest request;
    request.path = path;
    request.machine = "aaaaaaaa";
    const size_t index = size_t(3 - NoteSlots::First + 1);
    const StampedSection handed = *SectionsOf(ours.file())[index];
    request.sections[index] = HeldSection{handed.record, handed.record, handed.stamp, true, true, 1};
    DamagedCopy copied;
    const WriteOutcome outcome = WriteSections(request, copied);

    QVERIFY(outcome.saved);
    QVERIFY(outcome.merged);
    QCOMPARE(outcome.versions[index], std::uint64_t(1));
    QCOMPARE(FileAccess::readFile(path, written), FileAccess::ReadResult::Ok);
    QCOMPARE(written, file);
    QCOMPARE(readNote(written, 3).POJIX, 9000);
}

QTEST_GUILESS_MAIN(TestMerge)
#include "tst_merge.moc"
