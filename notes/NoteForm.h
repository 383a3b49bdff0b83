// SPDX-License-Identifier: MIT
#pragma once

#include "notes/NoteAlarm.h"
#include "notes/SharedTick.h"
#include "store/NoteSettings.h"
#include "store/SyncStamp.h"

#include <QDateTime>
#include <QWidget>

#include <optional>

class AlarmAlert;
class ImageControl;
class NoteText;

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
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showLook(const NoteSettings &record);
    void setMinimumFromFont();
    void placeCloseMark();
    void describeForAccessibility(const NoteSettings &record);
    // Tells a screen reader, through the description, that the alarm rings
    // or has stopped.
    void announceRinging(bool ringing);
    void takeRecordFromElsewhere(const NoteSettings &record);
    void followAlarmFromElsewhere(const NoteSettings &record);
    void closeWindow();
    void runAlarm(NoteSettings &record, const QDateTime &now);
    void fireAlarm(NoteSettings &record, const NoteAlarm::WallMinute &minute);
    void blink();
    bool writeBackDue() const;
    SharedTick::Due tickDue(const QDateTime &now) const;
    void syncPlaceAndSize(NoteSettings &record, bool writeAnyway);
    void askOnceMoreForTheStoredPlace(const NoteSettings &record);
    // With a crossing: the alarm rang for it, or was stopped at it.
    void saveRecord(const NoteSettings &record, std::optional<Sync::AlarmCrossing> crossing = std::nullopt);
    void reenableLabel();
    void reapplyRegionWhileRefreshing();
    bool hasItsShape() const;

    // X11 cannot make a window larger than this.
    static constexpr int LargestWindowPx = 32767;

    Qt::Edges frameEdgesAt(QPoint pos) const;
    QRect clientRect() const;
    QRect storedGeometry(const NoteSettings &record) const;

    const QString m_section;
    // The section as this window last wrote it or took it from the file: a
    // section that differs was changed by someone else (another machine
    // sharing the file through a synced folder, or the user's own editor).
    NoteSettings m_known;
    // The user moved or resized the window since its place was last written.
    bool m_placedByUser = false;
    bool m_labelDisabled = false;
    QColor m_color = Qt::black;
    QDateTime m_previousTick;
    // The alarm minute this note last rang for, here or on another machine
    // sharing the file: a clock that goes back over it does not ring it
    // twice, nor does a machine whose clock is behind the one that rang.
    std::optional<NoteAlarm::WallMinute> m_lastRung;
    int m_ticksWithoutSection = 0;
    int m_placementChecks = 0;
    bool m_closing = false;
    // The alarm as a screen reader says it; empty without an alarm.
    QString m_spokenAlarm;
    QString m_alertName;
    AlarmAlert *m_alert = nullptr;
    QWidget *m_client = nullptr;
    NoteText *Label1 = nullptr;
    ImageControl *Image1 = nullptr;
    SharedTick Timer1{[this] { Timer1_Timer(); }, [this](const QDateTime &now) { return tickDue(now); }};
};
