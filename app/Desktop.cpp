// SPDX-License-Identifier: MIT
#include "app/Desktop.h"

#include "app/Form1.h"
#include "desktop/WindowProcedures.h"
#include "editor/Form2.h"
#include "notes/NoteForm.h"
#include "store/Module1.h"
#include "ui/Definitions.h"

#include <QAbstractButton>
#include <QMessageBox>

Desktop::Desktop() : m_form1(std::make_unique<Form1>())
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

void Desktop::showProblem(const QString &text)
{
    if (m_problemBox) {
        m_problemBox->setText(text);
        return;
    }
    m_problemBox = new QMessageBox(QMessageBox::Warning, QStringLiteral("Nopi"), text, QMessageBox::Ok);
    NameWindow(m_problemBox, QStringLiteral("NopiProblem"));
    m_problemBox->setAttribute(Qt::WA_DeleteOnClose);
    m_problemBox->setWindowModality(Qt::NonModal);
    // Plain buttons, as in the program's other boxes.
    m_problemBox->button(QMessageBox::Ok)->setIcon(QIcon());
    m_problemBox->show();
}
