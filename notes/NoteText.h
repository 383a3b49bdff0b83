// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <optional>
#include <vector>

class QRawFont;

// A note's text as a self-sizing label shows it: plain text ("&" as
// written), its lines as written and never wrapped, from the top left, in
// the widget's font and its palette's window text colour. Its size is the
// whole text's, the widest line by all the lines.
//
// A note can hold a long text in a small window, so the widget lays out and
// draws only the lines its parent shows, and of a very long line only its
// beginning. The whole text's size is measured when it is asked for, or when
// the window's width depends on it, once per change of text or font; until
// then the widget is as large as the part of it that shows, and no smaller
// than the text's first lines.
//
// To a screen reader it is read-only text, read by lines, words or
// characters (notes/NoteAccessible); it has no name of its own.
class NoteText : public QWidget
{
    Q_OBJECT

public:
    explicit NoteText(QWidget *parent);

    // Lines end with "\n".
    void setText(const QString &text);
    const QString &text() const { return m_text; }

    // The whole text's size, in pixels.
    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The first lines of the text, as many as cover what the parent shows,
    // each cut where it has left the parent far behind.
    struct Beginning
    {
        QSize shown{-1, -1};  // the part of the widget its parent shows
        QString drawn;        // those lines and one more
        QSize size;           // the size of those lines (the whole text's when `whole`)
        bool whole = false;   // they are the whole text
    };

    void textOrFontChanged();
    void fit();
    QSize shownSize() const;
    const Beginning &beginningFor(QSize shown) const;
    QString firstLines(qsizetype count, qsizetype cut) const;
    qsizetype keptLength(qsizetype start, qsizetype end, qsizetype cut, const QRawFont &own) const;
    qsizetype endOfLine(qsizetype line) const;
    QSize measure(const QString &text) const;
    int alignment() const;

    QString m_text;
    // Where each line but the last ends.
    std::vector<qsizetype> m_lineEnds;
    // Where the text's first character of a script of its own is, or -1:
    // the characters before it are shaped in that script.
    qsizetype m_firstScripted = -1;
    Qt::LayoutDirection m_direction = Qt::LeftToRight;
    // Right-to-left text is aligned to the whole text's width; a text with
    // length variants chooses among them by its whole size.
    bool m_drawnWhole = false;
    mutable std::optional<QSize> m_whole;
    mutable Beginning m_beginning;
    bool m_fitPending = true;
};
