// SPDX-License-Identifier: MIT
#pragma once

// How each window looks when it is created: sizes and places in twips
// (1/1440 inch; 15 to the pixel on a 96-dpi screen), captions, tool tips,
// timer intervals. Texts are UTF-8.

namespace Definitions {

struct Rect
{
    int left;
    int top;
    int width;
    int height;
};

// ---- Launcher (Form1) -------------------------------------------------------

namespace Form1 {
inline constexpr const char *DesignCaption = "Nopi";
inline constexpr const char *Caption = "Nopi +";
// The outer window: a 3-pixel frame and a 21-pixel title bar around a
// 108 × 43-pixel client strip. Only the strip stays visible.
inline constexpr int FullWidth = 1710;
inline constexpr int NarrowWidth = 1277;
// The edit screen narrows it to this; either way the new-note button falls
// outside the launcher's shape.
inline constexpr int NarrowWidthAfterEdit = 1275;
inline constexpr int Height = 1050;
inline constexpr int ClientLeftPx = 3;
inline constexpr int ClientTopPx = 24;
inline constexpr Rect Client = {0, 0, 1620, 645};
inline constexpr Rect Picture1 = {1185, 0, 630, 675};
inline constexpr const char *Picture1ToolTip = "新規作成";
inline constexpr Rect Image1 = {-270, 420, 480, 480};
inline constexpr Rect Image2 = {900, 435, 75, 75};
inline constexpr int Timer1Interval = 2000;
inline constexpr int Timer2Interval = 100;
inline constexpr const char *CardPicture = ":/pictures/card.png";
inline constexpr const char *NewNotePicture = ":/pictures/newnote.png";
inline constexpr const char *QuitPicture = ":/pictures/quit.png";
inline constexpr const char *PlusPicture = ":/pictures/plus.png";
}

inline constexpr const char *Icon = ":/pictures/nopi.png";
// The same picture drawn at the sizes window switchers and high-dpi title bars
// ask for.
inline constexpr const char *IconSizes[] = {
    ":/icons/hicolor/16x16/nopi.png",
    ":/icons/hicolor/48x48/nopi.png",
    ":/icons/hicolor/64x64/nopi.png",
    ":/icons/hicolor/128x128/nopi.png",
};

// ---- Note windows (Form3 … Form17) -------------------------------------------

namespace Note {
// A sizing frame of 4 pixels surrounds the client area; there is no title bar.
inline constexpr int FramePx = 4;
inline constexpr int Timer1Interval = 500;
inline constexpr const char *ClosePicture = ":/pictures/close.png";
inline constexpr const char *CloseToolTip = "閉じる";
inline constexpr unsigned TextColor = 0x000000;
}

struct NoteDefinition
{
    Rect client;
    Rect image1;
    const char *image1ToolTip;
    Rect label1;
};

// The fifteen note windows share one design but for these values. The label's
// left and top stay where the design puts them; everything else is placed
// from the settings when the note loads.
inline constexpr NoteDefinition noteDefinition(int slot)
{
    if (slot == 3)
        return {{0, 0, 2505, 915}, {2190, -45, 480, 480}, Note::CloseToolTip, {60, 75, 855, 435}};
    if (slot == 4)
        return {{0, 0, 2640, 825}, {2040, 0, 480, 480}, nullptr, {75, 75, 495, 180}};
    if (slot == 5 || slot == 10 || slot >= 15)
        return {{0, 0, 2790, 900}, {2190, -60, 480, 480}, nullptr, {75, 75, 495, 180}};
    return {{0, 0, 2970, 855}, {2190, -60, 480, 480}, nullptr, {75, 75, 495, 180}};
}

// ---- Edit screen (Form2) -------------------------------------------------------

namespace Form2 {
inline constexpr const char *WebAddress = "Nopi " NOPI_VERSION; // no public home yet: the name and version fill the slot
inline constexpr Rect Client = {0, 0, 5100, 2385};
// The screen draws its own fixed single border and caption strip around the
// client area, with no buttons in the strip.
inline constexpr int FramePx = 3;
inline constexpr int CaptionPx = 21;
inline constexpr const char *FontName = "ＭＳ Ｐゴシック";
inline constexpr double FontSize = 9.75;
inline constexpr int Timer1Interval = 1000;
// What a screen reader calls the screen: its caption without the clock.
inline constexpr const char *AccessibleName = "■ 編集画面";
inline constexpr const char *FontDialogTitle = "フォントの変更（１枚毎に設定可能）";
inline constexpr const char *FontDialogInitialFace = "SYSTEM";
inline constexpr int FontDialogInitialSize = 10;
inline constexpr const char *ErrorTitle = "エラーメッセージ";
inline constexpr const char *TimeMessage = "入力した「時.分」の数値が不正なので、再入力して下さい。";
inline constexpr const char *DateMessage = "入力した「月.日」の数値が不正なので、再入力して下さい。";
inline constexpr const char *UnsavableMessage = "入力した文章に保存できない文字が含まれているので、修正して下さい。";
inline constexpr const char *AlarmToolTip =
        "ALARM時間になったら、付箋紙が点滅するので、ダブルクリックで点滅を停止させて下さい。";
inline constexpr const char *PresetToolTip =
        "ALARMを初めてOFF→ONした時には、今から一番近い時報の時刻が設定されます。（もちろん、変更可能です。）";

enum class Kind { TextBox, MultiLineTextBox, Button, Frame, CheckBox, OptionButton, Label };

struct Control
{
    const char *name;
    Kind kind;
    Rect rect;
    bool inFrame;
    int tabIndex;
    const char *caption;
    const char *toolTip;
    const char *accessibleName;
    const char *accessibleDescription;
};

// In definition order; places of controls in Frame1 are relative to it.
inline constexpr Control Controls[] = {
    {"Command3", Kind::Button, {3405, 825, 840, 645}, false, 2, "Color", "付箋紙の色は全部で４色あります。", "Color",
     "付箋紙の色を、黄・桃・緑・青の順に切り替えます。"},
    {"Frame1", Kind::Frame, {105, 45, 4875, 690}, false, 11, "  ALARM", AlarmToolTip, "アラーム",
     "アラームの入・切と、鳴らす時刻と日付"},
    {"Text5", Kind::TextBox, {4275, 240, 375, 315}, true, 10, "", nullptr, "アラームの日",
     "アラームを鳴らす日（1〜31）"},
    {"Text4", Kind::TextBox, {3675, 240, 360, 315}, true, 9, "", nullptr, "アラームの月",
     "アラームを鳴らす月（1〜12）"},
    {"Check1", Kind::CheckBox, {2865, 270, 750, 255}, true, 8, "Date", nullptr, "日付を指定",
     "チェックすると、アラームは指定した月日だけに鳴ります。外すと毎日鳴ります。"},
    {"Text3", Kind::TextBox, {2205, 240, 360, 315}, true, 7, "", nullptr, "アラームの分",
     "アラームを鳴らす分（0〜59）"},
    {"Option1_1", Kind::OptionButton, {960, 240, 570, 315}, true, 5, "ON", AlarmToolTip, "アラーム ON", AlarmToolTip},
    {"Option1_0", Kind::OptionButton, {210, 240, 660, 315}, true, 4, "OFF", PresetToolTip, "アラーム OFF",
     PresetToolTip},
    {"Text2", Kind::TextBox, {1605, 240, 360, 315}, true, 6, "", nullptr, "アラームの時",
     "アラームを鳴らす時（0〜23）"},
    {"Label2", Kind::Label, {4110, 285, 135, 300}, true, 14, "/", nullptr, nullptr, nullptr},
    {"Label1", Kind::Label, {2040, 270, 195, 240}, true, 13, "：", PresetToolTip, nullptr, nullptr},
    {"Text1", Kind::MultiLineTextBox, {105, 825, 3195, 1380}, false, 0, "", nullptr, "付箋紙の文章",
     "付箋紙に表示する文章。Tab キーで「ＯＫ」へ移ります。"},
    {"Command2", Kind::Button, {4245, 1530, 750, 675}, false, 3, "Cancel", nullptr, "Cancel",
     "何も保存せずに編集画面を閉じます。"},
    {"Command1", Kind::Button, {3405, 1530, 840, 675}, false, 1, "ＯＫ",
     "キーボードで文字入力した後に　→「TAB」→「ＯＫ］を行うと素早く付箋紙を作成できます。", "ＯＫ",
     "付箋紙を保存して編集画面を閉じます。"},
    {"Command4", Kind::Button, {4245, 825, 750, 645}, false, 12, "Font",
     "字体を選びます。（斜体は文字編集がしにくいので使わない方が良いでしょう。）", "Font",
     "付箋紙の字体と大きさを選びます。"},
};

inline constexpr const char *Command1FontName = "ＭＳ Ｐゴシック";
inline constexpr double Command1FontSize = 11.25;
}

}
