// SPDX-License-Identifier: MIT
#pragma once

#include "app/SingleInstance.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class ImageControl;
class QLabel;

// The launcher: a small strip with the program's card and the new-note button.
// It starts the program, brings up the notes and ends the program.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    Form1();

    // Start-up. False when another copy is running: the program then ends.
    bool Form_Load();

    void setWidthTwips(int twips);
    // Runs Timer2 until LauncherRefresh has counted down to 0. A refresh
    // asked for anew forgets the window the keyboard last reached.
    void followRefresh();
    int widthTwips() const;

    // What asking for a new note without the mouse came to.
    enum class NewNote { Opened, EditScreenAlreadyOpen, NoFreeSlot };
    // The new-note button pressed by a key or by `nopi --new-note`: as a
    // click, except that with every slot in use (the button is then cut
    // off the launcher) nothing is written.
    NewNote newNote();
    // A key was pressed in `window`, or the keyboard took the user there:
    // until the next refresh is asked for, the launcher's focus step leaves
    // that window the active one.
    void keyboardReached(QWidget *window);

    // Event handlers, public so that tests drive the real ones.
    void Picture1_Click();
    void Image1_Click();
    void Form_MouseMove();
    void Form_MouseDown(QMouseEvent *event);
    void Timer1_Timer();
    void Timer2_Timer();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Answers a later start of the program: the launcher is shown, raised
    // and made the active window.
    void comeForward();
    // Answers `nopi --new-note TEXT` from elsewhere.
    SingleInstance::NewNoteAnswer newNoteFromElsewhere(const QString &text);
    // The lowest slot whose SIYOU is 0, or 0 when every slot is in use.
    int firstFreeSlot();

    SingleInstance m_instance;
    QLabel *m_client = nullptr;
    ImageControl *Picture1 = nullptr;
    ImageControl *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QTimer Timer1;
    QTimer Timer2;
    QPointer<QWidget> m_keyboardWindow;
};
