#pragma once

#include "store/NoteSettings.h"

#include <QTimer>
#include <QWidget>

class ImageControl;
class QLabel;

// One sticky note on the desktop: the window of one slot (Form3 … Form17),
// bound for its whole life to section "FORM"n of nopi.ini.
class NoteForm : public QWidget
{
    Q_OBJECT

public:
    explicit NoteForm(int slot, QWidget *parent = nullptr);

    // Opening: from the file at start-up, or from the shared record after the
    // edit screen's OK (then sized to its text). Writes the whole section.
    void Form_Load();

    // Event handlers, public so that tests and benchmarks drive the real ones.
    void Form_MouseDown(QMouseEvent *event);
    void Label1_MouseMove();
    void Form_DblClick();
    void Image1_Click();
    void Timer1_Timer();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setMinimumFromFont();
    void placeCloseMark();
    void fireAlarm(NoteSettings &record);
    void blink();
    void syncPlaceAndSize(NoteSettings &record);
    void reenableLabel();
    void reapplyRegionWhileRefreshing();

    Qt::Edges frameEdgesAt(QPoint pos) const;
    QRect clientRect() const;

    const QString m_section;
    QColor m_color = Qt::black;
    QWidget *m_client = nullptr;
    QLabel *Label1 = nullptr;
    ImageControl *Image1 = nullptr;
    QTimer Timer1;
};
