// SPDX-License-Identifier: MIT
// The note's tick: its alarm, its blinking, its place and size in the file,
// and what another program or machine changed in its section meanwhile.
#include "notes/NoteForm.h"

#include "desktop/UserPlacement.h"
#include "desktop/WindowProcedures.h"
#include "notes/AlarmSound.h"
#include "notes/NoteAlarm.h"
#include "store/Clock.h"
#include "store/Forms.h"
#include "store/Module1.h"
#include "store/NoteLook.h"

#include <QLabel>

#include <tuple>

namespace {

// A tick that finds its section missing waits this many ticks (1.5 s) before
// it writes the note back: a file another program is rewriting in place is
// then read again whole rather than replaced half-way.
constexpr int TicksBeforeWriteBack = 3;

}

void NoteForm::Timer1_Timer()
{
    const QDateTime now = Clock::now();
    // Every tick reads the section afresh: the tick and the double-click meet
    // only in the file.
    CurrentSection = m_section;
    NoteSettings record;
    const SectionRead read = LoadNoteSettings(record);
    // A missing or damaged section never takes the note off the screen: the
    // store gives what the note last read or wrote, and the tick goes on
    // with that.
    if (read == SectionRead::FromFile)
        m_ticksWithoutSection = 0;
    else
        ++m_ticksWithoutSection;
    m_placedByUser = TakeUserPlacement(this) || m_placedByUser;

    if (read == SectionRead::FromFile && record != m_known) {
        if (record.SIYOU != 1) {
            // Thrown away elsewhere: the file already says so.
            if (m_known.ALARM == 2)
                AlarmSound::stop();
            closeWindow();
            return;
        }
        takeRecordFromElsewhere(record);
    }
    runAlarm(record, now);
    // What the screen shows and the file did not take is written again at
    // every tick; the store tells the user of the failure once.
    if (m_savePending || read == SectionRead::FromFile)
        syncPlaceAndSize(record, m_savePending);
    else if (read == SectionRead::FromMemory && writeBackDue())
        syncPlaceAndSize(record, true);
    reenableLabel();
    reapplyRegionWhileRefreshing();
}

// The file is the truth for whatever this window has not changed itself
// since: nothing is written for it, so two machines sharing the file never
// answer each other's writes. A place the user gave the window here meanwhile
// is kept, and written by this tick.
void NoteForm::takeRecordFromElsewhere(const NoteSettings &record)
{
    const auto look = [](const NoteSettings &r) {
        return std::tie(r.B_Color, r.ALARM, r.A_TIME, r.NAIYOU, r.FName, r.FSize, r.FBold, r.FItalic);
    };
    if (look(record) != look(m_known)) {
        NoteSettings shown = record;
        shown.NAIYOU = LineBreaksFromStored(record.NAIYOU);
        showLook(shown);
        describeForAccessibility(record);
    }
    followAlarmFromElsewhere(record);
    const auto place = [](const NoteSettings &r) { return std::tie(r.POJIX, r.POJIY, r.YOKO, r.TATE); };
    if (!m_placedByUser && place(record) != place(m_known)) {
        setGeometry(storedGeometry(record));
        // A place that is off this machine's smaller screen is pulled onto it
        // and written, as at start-up.
        if (KeepOnAScreen(this, NoteRegion(width(), height())))
            m_placedByUser = true;
        placeCloseMark();
        Forms::startLauncherRefresh();
    }
    m_known = record;
}

// Rung elsewhere, the note blinks on top here too, without a second sound;
// acknowledged elsewhere, it goes quiet here.
void NoteForm::followAlarmFromElsewhere(const NoteSettings &record)
{
    if (record.ALARM == 2 && m_known.ALARM != 2) {
        SetTopmost(this, 1);
    } else if (record.ALARM != 2 && m_known.ALARM == 2) {
        AlarmSound::stop();
        Label1->setVisible(true);
        SetTopmost(this, 0);
    }
}

void NoteForm::runAlarm(NoteSettings &record, const QDateTime &now)
{
    const NoteAlarm::Step step = NoteAlarm::step(record, m_previousTick, now);
    m_previousTick = now;
    switch (step) {
    case NoteAlarm::Step::Fire:
        fireAlarm(record);
        break;
    case NoteAlarm::Step::Blink:
        blink();
        break;
    case NoteAlarm::Step::Nothing:
        break;
    }
}

void NoteForm::fireAlarm(NoteSettings &record)
{
    record.ALARM = 2;
    saveRecord(record);
    SetTopmost(this, 1);
    AlarmSound::play(AlarmSound::soundFile());
}

void NoteForm::blink()
{
    Label1->setHidden(!Label1->isHidden());
}

bool NoteForm::writeBackDue() const
{
    return m_ticksWithoutSection > TicksBeforeWriteBack;
}

// Writes the place and size the user gave the window. One the window manager
// chose on its own is never stored: the next start asks for the stored one.
void NoteForm::syncPlaceAndSize(NoteSettings &record, bool writeAnyway)
{
    // The common tick: nobody moved the window, nothing to write or to ask.
    if (!m_placedByUser && !writeAnyway && m_placementChecks == 0)
        return;
    const int tppX = TwipsPerPixelX();
    const int tppY = TwipsPerPixelY();
    const QRect stored(record.POJIX, record.POJIY, record.YOKO, record.TATE);
    const QRect current(x() * tppX, y() * tppY, width() * tppX, height() * tppY);
    QRect place = stored;
    if (m_placedByUser) {
        m_placedByUser = false;
        m_placementChecks = 0;
        place = current;
    } else if (geometry() != storedGeometry(record)) {
        askOnceMoreForTheStoredPlace(record);
    } else if (m_placementChecks > 0) {
        --m_placementChecks;
    }
    // Where the file puts it, to the pixel, the file's own figures stay:
    // rewriting only their rounding to whole pixels would answer every
    // other machine's write with one of ours.
    const bool moved = place != stored;
    if (!moved && !writeAnyway)
        return;
    record.POJIX = place.x();
    record.POJIY = place.y();
    record.YOKO = place.width();
    record.TATE = place.height();
    saveRecord(record);
    if (moved) {
        placeCloseMark();
        Forms::startLauncherRefresh();
    }
}

// A window manager may put a new window where it likes (weston's XWayland
// cascades them). It is asked once more; if it keeps its own choice, the
// note stays there without storing it.
void NoteForm::askOnceMoreForTheStoredPlace(const NoteSettings &record)
{
    if (m_placementChecks == 0)
        return;
    --m_placementChecks;
    const QRect stored = storedGeometry(record);
    if (geometry() == stored)
        return;
    m_placementChecks = 0;
    setGeometry(stored);
}

QRect NoteForm::storedGeometry(const NoteSettings &record) const
{
    const int tppX = TwipsPerPixelX();
    const int tppY = TwipsPerPixelY();
    const QSize size = QSize(PixelsFromTwips(record.YOKO, tppX), PixelsFromTwips(record.TATE, tppY))
                               .boundedTo(QSize(LargestWindowPx, LargestWindowPx))
                               .expandedTo(minimumSize());
    return QRect(QPoint(PixelsFromTwips(record.POJIX, tppX), PixelsFromTwips(record.POJIY, tppY)), size);
}

void NoteForm::saveRecord(const NoteSettings &record)
{
    CurrentSection = m_section;
    m_known = record;
    m_savePending = !SaveNoteSettings(record);
    m_ticksWithoutSection = 0;
}

void NoteForm::reenableLabel()
{
    // Kept beside the tick's own state: an idle tick then touches nothing of
    // the label.
    if (!m_labelDisabled)
        return;
    m_labelDisabled = false;
    if (!Label1->isEnabled())
        Label1->setEnabled(true);
}

void NoteForm::reapplyRegionWhileRefreshing()
{
    if (LauncherRefresh != 0)
        ApplyNoteRegion(this);
}
