// SPDX-License-Identifier: MIT
// What a note's text costs the screen's thread, short and 60 KiB long:
// opening a note window from the file and drawing it, opening the edit screen
// on it and drawing it, and, for scale, what the edit screen's text box takes
// to load and draw that text alone. Offscreen, with the sample file's slot 3.
//
//   bench_open [--quick]
//
// Prints one line per figure: "<what> [short|long] ... median N us".

#include "Offscreen.h"
#include "SampleFile.h"
#include "Stats.h"

#include "app/Platform.h"
#include "editor/Form2.h"
#include "notes/NoteForm.h"
#include "store/Module1.h"
#include "store/NoteLook.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>


namespace {

constexpr int Slot = 3;

// A note window of the slot, opened from the file and drawn.
void openNote(Samples &samples)
{
    const auto start = Samples::Clock::now();
    auto *note = new NoteForm(Slot);
    UseSharedRecord = 0;
    note->Form_Load();
    note->show();
    note->repaint();
    samples.add(Samples::Clock::now() - start);
    delete note;
}

// The edit screen on the slot's note, opened and drawn.
void openEditScreen(Samples &samples)
{
    const auto start = Samples::Clock::now();
    auto *screen = new Form2;
    EditSection = NoteSection(Slot);
    screen->Form_Load();
    screen->show();
    screen->repaint();
    samples.add(Samples::Clock::now() - start);
    delete screen;
}

// The text box alone, as the edit screen builds it, with the note's text.
void loadTextBox(Samples &samples, const NoteSettings &record)
{
    const QString text = LineBreaksFromStored(record.NAIYOU).replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const auto start = Samples::Clock::now();
    QPlainTextEdit box;
    box.setLineWrapMode(QPlainTextEdit::NoWrap);
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box.resize(213, 92);
    box.setFont(NoteFont(record));
    box.setPlainText(text);
    box.show();
    box.repaint();
    samples.add(Samples::Clock::now() - start);
}

void benchTexts(SampleFile::Texts texts, const char *name, int rounds)
{
    SampleFile::write(std::nullopt, texts);
    CurrentSection = NoteSection(Slot);
    NoteSettings record;
    LoadNoteSettings(record);

    Samples notes{size_t(rounds)};
    Samples screens{size_t(rounds)};
    Samples boxes{size_t(rounds)};
    for (int round = 0; round < rounds; ++round) {
        openNote(notes);
        openEditScreen(screens);
        loadTextBox(boxes, record);
        QApplication::processEvents();
    }
    char label[96];
    std::snprintf(label, sizeof label, "a note opened and drawn [%s]", name);
    notes.print(label);
    std::snprintf(label, sizeof label, "the edit screen opened and drawn [%s]", name);
    screens.print(label);
    std::snprintf(label, sizeof label, "  the text box alone [%s]", name);
    boxes.print(label);
}

}

int main(int argc, char *argv[])
{
    const std::optional<bool> quickOption = quickRun(argc, argv);
    if (!quickOption)
        return 2;
    const bool quick = *quickOption;
    drawOffscreen();
    QApplication app(argc, argv);
    Platform::registerFontSubstitutes();

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_open: cannot create a temporary directory\n");
        return 1;
    }
    SetSettingsFilePath(dir.filePath(QStringLiteral("nopi.ini")));
    ResetProgramState();

    std::printf("\nopening, slot 3, offscreen\n");
    benchTexts(SampleFile::Texts::Short, "short", quick ? 20 : 100);
    benchTexts(SampleFile::Texts::Long, "60 KiB", quick ? 5 : 20);
    return 0;
}
