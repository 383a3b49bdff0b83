// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QWidget>
#include <QTimer>

#include <array>
#include <optional>

class AlarmFrame;
class CaptionStrip;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The edit screen: one note's text, colour, font and alarm. It works on the
// shared record; OK hands the record to the note window, which saves it.
//
// A plain window rather than a QDialog: a dialog always makes one of its
// buttons the default, and Enter in an alarm field would press it. Here Enter
// presses only the button that has the focus.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    Form2();

    // Loads EditSection into the shared record and shows it in the controls.
    void Form_Load();

    static QString designCaption();

    // Puts a text another program handed over into the note text, as if it
    // had been typed there. An empty text leaves the new note's blank.
    void putText(QString text);

    // Event handlers, public so that tests drive the real ones.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Option1_Click(int index);
    void Check1_Click();
    void Timer1_Timer();

public slots:
    // Esc and a window manager's close both mean Cancel.
    void reject();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFrameAndCaption();
    void buildControls();
    void setTabOrder();
    void setText1Color(qint32 bgr);
    void setAlarmFieldsVisible(bool alarmOn);
    void keepOneTabStopInAlarmSwitch();
    void centreOnPointerScreen();
    // Shows the error box; the focus then goes to the field that was wrong,
    // with its text (or the first character the file cannot hold) selected.
    bool refuse(const char *message, QWidget *wrong);
    void selectFirstUnsavable();
    void takeAnotherFreeSlot();
    void saveBeforeTheNoteIsShown() const;
    int countFreeSlots() const;
    void closeScreen();

    CaptionStrip *m_caption = nullptr;
    QWidget *m_client = nullptr;
    AlarmFrame *Frame1 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    QLineEdit *Text5 = nullptr;
    std::array<QRadioButton *, 2> Option1 = {};
    QCheckBox *Check1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QTimer Timer1;

    qint32 m_text1Color = 0;
    // Opened on a free slot, for a note that does not exist yet.
    bool m_newNote = false;
    // The font dialog remembers its last choice for as long as the screen lives.
    QFont m_fontDialogFont;
};

// A field's whole number: blanks around it allowed, empty counts as 0;
// anything else ("1.5", "abc") is not a number.
std::optional<int> WholeNumber(const QString &text);
