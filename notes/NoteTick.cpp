// SPDX-License-Identifier: MIT
// The note's tick: its alarm, its blinking, its place and size in the file,
// and what another program or machine changed in its section meanwhile.
#include "notes/NoteForm.h"

#include "desktop/UserPlacement.h"
#include "desktop/WindowProcedures.h"
#include "notes/AlarmSound.h"
#include "notes/NoteAlarm.h"
#include "notes/NoteText.h"
#include "store/Clock.h"
#include "store/Forms.h"
#include "store/Module1.h"
#include "store/NoteLook.h"

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
    if (read == SectionRead::FromFile || read == SectionRead::Pending)
        m_ticksWithoutSection = 0;
    else
        ++m_ticksWithoutSection;
    m_placedByUser = TakeUserPlacement(this) || m_placedByUser;
    // The window manager's first choice of place is no longer asked about
    // once the user has moved the note.
    const bool userPlacing = UserIsPlacing(this);
    if (userPlacing)
        m_placementChecks = 0;

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
    // A save the disk did not take is the store's to try again; a section
    // the file lost is written back once it has stayed lost a moment.
    // While the user moves the note, nothing is written or asked: the end
    // of the move brings the tick that writes it.
    if (!userPlacing) {
        if (read == SectionRead::FromFile || read == SectionRead::Pending)
            syncPlaceAndSize(record, false);
        else if (read == SectionRead::FromMemory && writeBackDue())
            syncPlaceAndSize(record, true);
    }
    reenableLabel();
    reapplyRegionWhileRefreshing();
}

// Twice a second while the note rings, has checks left after it appeared, a
// lost section to write back, a label to enable or a shape to apply; at
// its alarm's next moment; otherwise never.
SharedTick::Due NoteForm::tickDue(const QDateTime &now) const
{
    SharedTick::Due due;
    due.soon = m_known.ALARM == 2 || m_placementChecks > 0 || m_ticksWithoutSection > 0 || m_labelDisabled
            || m_placedByUser || (LauncherRefresh != 0 && !hasItsShape());
    if (m_known.ALARM == 1)
        due.alarm = NoteAlarm::nextMinute(m_known.A_TIME, now, m_lastRung);
    return due;
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
    if (!m_placedByUser && !UserIsPlacing(this) && place(record) != place(m_known)) {
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
    // A crossing rung or stopped on another machine sharing the file counts
    // as rung here: the user stopped it somewhere.
    CurrentSection = m_section;
    const std::optional<NoteAlarm::WallMinute> marked = NoteAlarm::minuteOfMark(LastAlarmCrossing().minute);
    if (marked && (!m_lastRung || *m_lastRung < *marked))
        m_lastRung = marked;
    const NoteAlarm::Decision decision = NoteAlarm::step(record, m_previousTick, now, m_lastRung);
    m_previousTick = now;
    switch (decision.step) {
    case NoteAlarm::Step::Fire:
        m_lastRung = decision.minute;
        fireAlarm(record, *decision.minute);
        break;
    case NoteAlarm::Step::Blink:
        blink();
        break;
    case NoteAlarm::Step::Nothing:
        break;
    }
}

void NoteForm::fireAlarm(NoteSettings &record, const NoteAlarm::WallMinute &minute)
{
    record.ALARM = 2;
    saveRecord(record, Sync::AlarmCrossing{NoteAlarm::markOf(minute), false});
    SetTopmost(this, 1);
    AlarmSound::play(AlarmSound::soundFile());
    announceRinging(true);
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
    QRect place = stored;
    if (m_placedByUser) {
        m_placedByUser = false;
        m_placementChecks = 0;
        // Where the window really is: a move the window manager refused
        // leaves Qt believing in a place the user never saw.
        const QRect onScreen = PlaceOnScreen(this);
        place = QRect(onScreen.x() * tppX, onScreen.y() * tppY, onScreen.width() * tppX, onScreen.height() * tppY);
    } else if (geometry() != storedGeometry(record)) {
        askOnceMoreForTheStoredPlace(record);
    } else if (m_placementChecks > 0) {
        --m_placementChecks;
    }
    // Where the file puts it, to the pixel, the file's own figures stay:
    // rewriting only their rounding to whole pixels would answer every
    // other machine's write with one of ours.
    const auto pixels = [tppX, tppY](const QRect &twips) {
        return QRect(PixelsFromTwips(twips.x(), tppX), PixelsFromTwips(twips.y(), tppY),
                     PixelsFromTwips(twips.width(), tppX), PixelsFromTwips(twips.height(), tppY));
    };
    if (pixels(place) == pixels(stored))
        place = stored;
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

void NoteForm::saveRecord(const NoteSettings &record, std::optional<Sync::AlarmCrossing> crossing)
{
    CurrentSection = m_section;
    m_known = record;
    if (crossing)
        SaveNoteSettings(record, *crossing);
    else
        SaveNoteSettings(record);
    m_ticksWithoutSection = 0;
    Timer1.reschedule();
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

// The shape fits the window's size: a refresh of the launcher alone gives
// the note's tick nothing to do.
bool NoteForm::hasItsShape() const
{
    return mask() == QRegion(NoteRegion(width(), height()));
}
