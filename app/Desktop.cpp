#include "app/Desktop.h"

#include "app/Form1.h"
#include "editor/Form2.h"
#include "notes/NoteForm.h"
#include "store/WindowProcedures.h"

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
