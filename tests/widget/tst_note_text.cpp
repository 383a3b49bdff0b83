// SPDX-License-Identifier: MIT
// A note's text against the self-sizing label it stands for: the same size,
// and in any window the same pixels and the same place under the mouse, for
// short texts and for long ones of which the window shows only the first
// lines.

#include "app/Platform.h"
#include "notes/NoteText.h"
#include "store/NoteLook.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace {

struct Look
{
    QString fontName = QStringLiteral("ＭＳ Ｐゴシック");
    int fontSize = 10;
    bool bold = false;
    bool italic = false;
    bool enabled = true;
};

}

Q_DECLARE_METATYPE(Look)

namespace {

QFont fontOf(const Look &look)
{
    NoteSettings record;
    record.FName = look.fontName;
    record.FSize = look.fontSize;
    record.FBold = TruthText(look.bold);
    record.FItalic = TruthText(look.italic);
    return NoteFont(record);
}

// What a note's client area shows: its colour, and the text at (5, 5).
struct Client
{
    explicit Client(QSize size)
    {
        QPalette palette = widget.palette();
        palette.setColor(QPalette::Window, QColor(0xff, 0xff, 0x80));
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::WindowText, Qt::black);
        widget.setPalette(palette);
        widget.setAutoFillBackground(true);
        widget.resize(size);
    }

    QImage shown(QWidget *text, const Look &look)
    {
        text->setFont(fontOf(look));
        text->setEnabled(look.enabled);
        text->move(5, 5);
        widget.show();
        if (!QTest::qWaitForWindowExposed(&widget))
            return {};
        return widget.grab().toImage();
    }

    QWidget widget;
};

// The label a note's text used to be.
QLabel *labelOf(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(text);
    return label;
}

// About 60 KiB in the file: `lines` lines made of `line`, then `last`.
QString longText(const QString &line, int lines, const QString &last = QString())
{
    QStringList all;
    for (int i = 0; i < lines; ++i)
        all << line.arg(i);
    if (!last.isEmpty())
        all << last;
    return all.join(QLatin1Char('\n'));
}

}

class TestNoteText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shouldLookAsALabelOfItsText_data();
    void shouldLookAsALabelOfItsText();
};

void TestNoteText::initTestCase()
{
    Platform::registerFontSubstitutes();
}

void TestNoteText::shouldLookAsALabelOfItsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<Look>("look");

    const QSize note(212, 112);
    const QString sentence = QStringLiteral("%1: 会議の資料をコピーして２部ずつホチキスで留める、延長コードも持っていく。");
    QTest::newRow("one line") << QStringLiteral("memo") << note << Look();
    QTest::newRow("alarm line, \"&\" as written") << QStringLiteral("<09:30>\n会議\n資料\nコピー & 配布 &&x")
                                                 << note << Look();
    QTest::newRow("tabs, empty lines, a last empty line") << QStringLiteral("\n\na\tb\n\nfourth\n") << note << Look();
    QTest::newRow("bold Mincho, 14 points") << sentence.arg(1) << note
                                            << Look{QStringLiteral("ＭＳ 明朝"), 14, true, false, true};
    QTest::newRow("italic, cut at its widest line") << QStringLiteral("ffff\nwwwwwwwf\nfff") << note
                                                   << Look{QStringLiteral("ＭＳ Ｐゴシック"), 20, false, true, true};
    QTest::newRow("disabled under the mouse: etched") << QStringLiteral("<09:30>\nmemo & more") << note
                                                      << Look{QStringLiteral("ＭＳ Ｐゴシック"), 10, false, false, false};
    QTest::newRow("text taller than a large window") << longText(sentence, 40) << QSize(900, 400) << Look();
    QTest::newRow("60 KiB, lines wider than the window") << longText(sentence, 900) << note << Look();
    QTest::newRow("60 KiB, disabled") << longText(sentence, 900) << note
                                      << Look{QStringLiteral("ＭＳ 明朝"), 9, true, false, false};
    // The window's width then depends on a line it does not show.
    QTest::newRow("60 KiB, short italic lines, the longest last")
            << longText(QStringLiteral("項目 %1 f"), 5000, QStringLiteral("いちばん長い行はここにあります")) << QSize(400, 112)
            << Look{QStringLiteral("ＭＳ Ｐゴシック"), 20, false, true, true};
    QTest::newRow("60 KiB in one line") << QStringLiteral("QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo=").repeated(1700)
                                         << note << Look();
    // A character from another font far along a line may stand taller than
    // the note's own: the line keeps it, and the lines below stand lower.
    QTest::newRow("a long line that ends in another font")
            << sentence.arg(0).repeated(60) + QStringLiteral("\u10D0\n") + longText(sentence, 20) << note << Look();
    QTest::newRow("60 KiB, digits first, the first kana far below")
            << longText(QStringLiteral("%1 ... 12:30 (5)"), 3000, QStringLiteral("かな")) << note << Look();
}

void TestNoteText::shouldLookAsALabelOfItsText()
{
    QFETCH(QString, text);
    QFETCH(QSize, client);
    QFETCH(Look, look);

    Client before(client);
    QLabel *label = labelOf(&before.widget, text);
    label->setFont(fontOf(look));
    label->adjustSize();
    const QImage expected = before.shown(label, look);

    Client after(client);
    auto *noteText = new NoteText(&after.widget);
    noteText->setText(text);
    const QImage shown = after.shown(noteText, look);

    QVERIFY(!expected.isNull());
    QCOMPARE(noteText->text(), text);
    QCOMPARE(shown, expected);
    // The mouse finds the text where it found the label: moving over it
    // lets presses through to the note; beside it, the close mark takes them.
    const QRect area(QPoint(0, 0), client);
    QCOMPARE(noteText->geometry() & area, label->geometry() & area);
    QCOMPARE(noteText->sizeHint(), label->size());
}

QTEST_MAIN(TestNoteText)
#include "tst_note_text.moc"
