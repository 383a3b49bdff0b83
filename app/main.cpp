// Nopi: sticky notes on the desktop.
//
// Form1       (app/)     the launcher strip: start-up, new-note button, quit
// Desktop     (app/)     owns the windows and lets them open one another
// Form2       (editor/)  the edit screen for one note
// NoteForm    (notes/)   one note window, Form3 … Form17, with its alarm tick
// NoteAlarm   (notes/)   when a tick fires, blinks or does nothing
// AlarmSound  (notes/)   the alarm's sound player
// Module1     (store/)   Load/SaveNoteSettings, the shared record and flags
// ProfileFile (store/)   nopi.ini on bytes; Cp932 at its boundary
// WindowProcedures (store/) topmost band, window shapes, dragging, twips

#include "app/Desktop.h"
#include "app/Form1.h"
#include "app/Platform.h"
#include "ui/Definitions.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    Platform::preferX11();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nopi"));
    QApplication::setWindowIcon(QIcon(QString::fromUtf8(Definitions::Icon)));
    QApplication::setQuitOnLastWindowClosed(false);
    Platform::registerFontSubstitutes();

    Desktop desktop;
    Forms::install(&desktop);
    if (!desktop.form1().Form_Load())
        return 0;
    desktop.form1().show();
    return QApplication::exec();
}
