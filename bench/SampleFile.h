// SPDX-License-Identifier: MIT
#pragma once

#include "store/Module1.h"
#include "store/NoteSettings.h"

#include <QStringList>

// A realistic nopi.ini: the launcher and fifteen notes in use, each with a
// Japanese text of 50 to 100 characters, laid out on a 1280 × 1024 screen.
namespace SampleFile {

inline NoteSettings note(int slot)
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
    static const qint32 colors[] = {8454143, 16744703, 8454016, 16777088};
    const int i = slot - NoteSlots::First;
    NoteSettings record;
    record.SIYOU = 1;
    record.B_Color = colors[i % 4];
    record.POJIX = 300 + (i % 5) * 3600;
    record.POJIY = 300 + (i / 5) * 2400;
    record.YOKO = 3300;
    record.TATE = 1800;
    record.ALARM = i % 3 == 0 ? 1 : 0;
    record.A_TIME = 1705 + i;
    record.NAIYOU = texts[i % texts.size()];
    record.FName = i % 4 == 0 ? QStringLiteral("ＭＳ 明朝") : QStringLiteral("ＭＳ Ｐゴシック");
    record.FSize = 9 + i % 3;
    record.FBold = TruthText(i % 2 == 1);
    record.FItalic = TruthText(false);
    return record;
}

inline NoteSettings launcher()
{
    NoteSettings record;
    record.POJIX = 15000;
    record.POJIY = 300;
    record.YOKO = 1710;
    record.TATE = 1050;
    return record;
}

// Writes the file at the store's current path, launcher first as the
// program would.
inline void write()
{
    CurrentSection = LauncherSection();
    SaveNoteSettings(launcher());
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        CurrentSection = NoteSection(slot);
        SaveNoteSettings(note(slot));
    }
}

}
