// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

// The benchmarks' fifteen notes and launcher as plain values, in the file's
// units (twips, BGR colours, "⇔" for a line break), so that the sample file
// and the Qt floor program show the same things. Only QtCore: the floor must
// not link the program's code.
namespace SampleNotes {

inline constexpr int Count = 15;

inline QString text(int i)
{
    static const QStringList texts = {
        QStringLiteral("会議の資料をコピーして２部ずつホチキスで留める。⇔第二会議室のプロジェクターを予約、"
                       "延長コードも忘れずに持っていくこと。"),
        QStringLiteral("牛乳、卵１パック、食パン６枚切り、りんご３個、洗剤の詰め替え用、⇔単三電池４本、"
                       "ゴミ袋（４５リットル）、帰りに郵便局で切手を買う"),
        QStringLiteral("14時 歯医者の予約。保険証と診察券を忘れずに持っていく。⇔駐車場は建物の裏手、"
                       "満車なら向かいのコインパーキングへ"),
        QStringLiteral("田中さんに電話（内線２３４）。見積書の件で金曜日までに回答が必要。⇔資料は共有フォルダの"
                       "「営業／２０２４年度」にある"),
        QStringLiteral("締め切り１２月２４日：年末調整の書類を総務へ提出。⇔扶養控除等申告書、保険料控除申告書、"
                       "源泉徴収票のコピーを添付"),
    };
    return texts[i % texts.size()];
}

// About this many bytes of text in the file: a long text pasted into a note.
inline constexpr int LongTextBytes = 60 * 1024;

// The note's text, line after line, to LongTextBytes in the file (two bytes
// for each character beyond ASCII, as the file's Shift-JIS holds them).
inline QString longText(int i)
{
    const QString one = text(i);
    qsizetype oneBytes = 0;
    for (const QChar c : one)
        oneBytes += c.unicode() < 0x80 ? 1 : 2;
    const QString lineBreak = QStringLiteral("⇔");
    QString all = one;
    for (qsizetype bytes = oneBytes; bytes + 2 + oneBytes <= LongTextBytes; bytes += 2 + oneBytes)
        all += lineBreak + one;
    return all;
}

inline qint32 color(int i)
{
    static const qint32 colors[] = {8454143, 16744703, 8454016, 16777088};
    return colors[i % 4];
}

inline int left(int i) { return 300 + (i % 5) * 3600; }
inline int top(int i) { return 300 + (i / 5) * 2400; }
inline constexpr int Width = 3300;
inline constexpr int Height = 1800;

inline bool hasAlarm(int i) { return i % 3 == 0; }

// An alarm a run never meets: twelve hours from when the file is made, a
// minute apart, so neither a run nor the minutes after it ring a note (idle
// would measure blinking notes).
inline qint32 alarmTime(int i, const QTime &now = QTime::currentTime())
{
    const QTime at = now.addSecs(12 * 3600 + i * 60);
    return at.hour() * 100 + at.minute();
}

inline QString fontName(int i)
{
    return i % 4 == 0 ? QStringLiteral("ＭＳ 明朝") : QStringLiteral("ＭＳ Ｐゴシック");
}
inline int pointSize(int i) { return 9 + i % 3; }
inline bool bold(int i) { return i % 2 == 1; }

// The launcher as the file holds it, and the width it narrows to on the
// screen when all fifteen slots are in use.
inline constexpr int LauncherLeft = 15000;
inline constexpr int LauncherTop = 300;
inline constexpr int LauncherWidth = 1710;
inline constexpr int LauncherHeight = 1050;
inline constexpr int LauncherShownWidth = 1277;

}
