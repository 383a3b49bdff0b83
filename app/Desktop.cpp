// SPDX-License-Identifier: MIT
#include "app/Desktop.h"

#include "app/Form1.h"
#include "desktop/ImageControl.h"
#include "desktop/WindowAnnouncer.h"
#include "desktop/WindowProcedures.h"
#include "desktop/X11.h"
#include "editor/Form2.h"
#include "notes/NoteAccessible.h"
#include "notes/NoteForm.h"
#include "store/Module1.h"
#include "ui/Definitions.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QMessageBox>

#include <vector>

namespace {

// To a screen reader the launcher, the notes and the edit screen are frames,
// as windows with a title bar are; Qt would call a plain widget a filler.
QAccessibleInterface *accessibleWindow(const QString &className, QObject *object)
{
    if (className == QLatin1String("Form1") || className == QLatin1String("NoteForm")
        || className == QLatin1String("Form2"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return NoteAccessibleInterface(className, object);
}

std::unique_ptr<Form1> makeLauncher()
{
    // Before any window exists: a window keeps the interface first made for it.
    QAccessible::installFactory(accessibleWindow);
    AnnounceActiveWindowOnce();
    return std::make_unique<Form1>();
}

}

Desktop::Desktop() : m_form1(makeLauncher())
{
}

Desktop::~Desktop()
{
    delete m_problemBox;
    delete m_editScreen;
    for (QPointer<NoteForm> &note : m_notes)
        delete note;
}

QWidget *Desktop::launcher()
{
    return m_form1.get();
}

void Desktop::setLauncherWidthTwips(int twips)
{
    m_form1->setWidthTwips(twips);
}

void Desktop::launcherRefreshStarted()
{
    m_form1->followRefresh();
}

void Desktop::showNote(int slot)
{
    if (slot < NoteSlots::First || slot > NoteSlots::Last)
        return;
    if (!m_notes[slot]) {
        m_notes[slot] = new NoteForm(slot);
        m_notes[slot]->Form_Load();
    }
    m_notes[slot]->show();
}

void Desktop::reloadNote(int slot)
{
    if (slot < NoteSlots::First || slot > NoteSlots::Last)
        return;
    delete m_notes[slot];
    showNote(slot);
}

QWidget *Desktop::note(int slot)
{
    if (slot < NoteSlots::First || slot > NoteSlots::Last)
        return nullptr;
    return m_notes[slot];
}

void Desktop::openEditScreen()
{
    delete m_editScreen;
    m_editScreen = new Form2;
    m_editScreen->Form_Load();
    m_editScreen->show();
}

void Desktop::watchForNotesFromElsewhere()
{
    m_watch.start();
}

void Desktop::showNotesFromElsewhere()
{
    const QString current = CurrentSection;
    bool shown = false;
    int freeSlots = NoteSlots::Count;
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        if (m_notes[slot]) {
            --freeSlots;
            continue;
        }
        CurrentSection = NoteSection(slot);
        NoteSettings record;
        // Only a section read whole from the file counts: memory holds only
        // what this copy itself did.
        if (LoadNoteSettings(record) != SectionRead::FromFile || record.SIYOU != 1)
            continue;
        // Showing a note reads its section through the shared record, which
        // an open edit screen is using.
        const NoteSettings shared = SharedRecord;
        const int useShared = UseSharedRecord;
        UseSharedRecord = 0;
        showNote(slot);
        SharedRecord = shared;
        UseSharedRecord = useShared;
        --freeSlots;
        shown = true;
    }
    CurrentSection = current;
    if (!shown)
        return;
    setLauncherWidthTwips(freeSlots == 0 ? Definitions::Form1::NarrowWidth : Definitions::Form1::FullWidth);
    ApplyLauncherRegion(m_form1.get());
    Forms::startLauncherRefresh();
}

QWidget *Desktop::editScreen()
{
    return m_editScreen;
}

void Desktop::startNewNote()
{
    m_form1->newNote();
}

void Desktop::activateNextWindow(QWidget *from, bool forward)
{
    std::vector<QWidget *> ring{m_form1.get()};
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        if (m_notes[slot] && m_notes[slot]->isVisible())
            ring.push_back(m_notes[slot]);
    }
    const auto at = std::find(ring.begin(), ring.end(), from);
    const auto count = std::ptrdiff_t(ring.size());
    const std::ptrdiff_t here = at == ring.end() ? 0 : at - ring.begin();
    QWidget *next = ring[size_t((here + (forward ? 1 : count - 1)) % count)];
    if (next == from)
        return;
    m_form1->keyboardReached(next);
    BringForward(next);
    // A window manager that keeps programs from taking the focus still
    // grants it on the user's behalf.
    X11::askToActivate(next);
}

void Desktop::keyboardUsedIn(QWidget *window)
{
    m_form1->keyboardReached(window);
}

void Desktop::showProblem(const QString &text, Problem problem)
{
    m_problem = problem;
    if (m_problemBox) {
        m_problemBox->setText(text);
        return;
    }
    m_problemBox = new QMessageBox(QMessageBox::Warning, QStringLiteral("Nopi"), text, QMessageBox::Ok);
    NameWindow(m_problemBox, QStringLiteral("NopiProblem"));
    m_problemBox->setWindowIcon(ProgramIcon());
    m_problemBox->setAttribute(Qt::WA_DeleteOnClose);
    m_problemBox->setWindowModality(Qt::NonModal);
    // Plain buttons, as in the program's other boxes.
    m_problemBox->button(QMessageBox::Ok)->setIcon(QIcon());
    m_problemBox->show();
}

void Desktop::savingWorks()
{
    if (m_problemBox && m_problem == Problem::Saving)
        m_problemBox->close();
}
