// SPDX-License-Identifier: MIT
#pragma once

#include "app/SingleInstance.h"

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
    // Runs Timer2 until LauncherRefresh has counted down to 0.
    void followRefresh();
    int widthTwips() const;

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
    void closeEvent(QCloseEvent *event) override;

private:
    // Answers a later start of the program: the launcher is shown, raised
    // and made the active window.
    void comeForward();

    SingleInstance m_instance;
    QLabel *m_client = nullptr;
    ImageControl *Picture1 = nullptr;
    ImageControl *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QTimer Timer1;
    QTimer Timer2;
};
