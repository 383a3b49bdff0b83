// SPDX-License-Identifier: MIT
#include "notes/NoteText.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace {

// A label without word wrap measures its text in a box this large: wide
// enough that no line of it is broken.
constexpr int MeasureBox = 2000;

// The character at `at`, a surrogate pair taken whole.
char32_t characterAt(const QString &text, qsizetype at)
{
    const QChar c = text.at(at);
    if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(at + 1));
    return c.unicode();
}

}

NoteText::NoteText(QWidget *parent) : QWidget(parent)
{
    // What shows of the text depends on how much of the parent it covers.
    parent->installEventFilter(this);
    // Sized by fit(): Qt would size a child it shows unsized to its size
    // hint, the whole text measured.
    resize(0, 0);
}

void NoteText::setText(const QString &text)
{
    m_text = text;
    m_lineEnds.clear();
    for (qsizetype at = m_text.indexOf(QLatin1Char('\n')); at >= 0; at = m_text.indexOf(QLatin1Char('\n'), at + 1))
        m_lineEnds.push_back(at);
    m_firstScripted = -1;
    for (qsizetype at = 0; at < m_text.size(); ++at) {
        const char32_t c = characterAt(m_text, at);
        if (QChar::script(c) > QChar::Script_Common) {
            m_firstScripted = at;
            break;
        }
        if (QChar::requiresSurrogates(c))
            ++at;
    }
    m_direction = m_text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    m_drawnWhole = m_direction == Qt::RightToLeft || m_text.contains(QChar(0x9C));
    setAccessibleName(m_text);
    textOrFontChanged();
}

QSize NoteText::sizeHint() const
{
    if (!m_whole)
        m_whole = measure(m_text);
    return *m_whole;
}

bool NoteText::event(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        textOrFontChanged();
    else if (event->type() == QEvent::Show && m_fitPending)
        fit();
    return QWidget::event(event);
}

bool NoteText::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        fit();
    return QWidget::eventFilter(watched, event);
}

void NoteText::paintEvent(QPaintEvent *)
{
    if (m_text.isEmpty())
        return;
    const qsizetype drawn = m_drawnWhole ? m_text.size() : beginningFor(shownHeight()).drawn;
    const int direction = m_direction == Qt::RightToLeft ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight;
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, rect(), alignment() | direction, option.palette, isEnabled(),
                          drawn == m_text.size() ? m_text : m_text.left(drawn), foregroundRole());
}

void NoteText::textOrFontChanged()
{
    m_whole.reset();
    m_beginning = {};
    fit();
    update();
}

// The widget's size: the whole text's when it is known, or when what shows
// depends on it; otherwise the size of the first lines, which already cover
// what the parent shows.
void NoteText::fit()
{
    // A window being opened sets the font, the text and its own size one
    // after another: it is measured once, when it shows.
    if (!isVisible()) {
        m_fitPending = true;
        return;
    }
    m_fitPending = false;
    if (m_whole || m_drawnWhole) {
        resize(sizeHint());
        return;
    }
    const int shownWidth = parentWidget()->width() - x();
    const Beginning &beginning = beginningFor(shownHeight());
    // Narrower than the window, the first lines leave the text's right edge
    // in view, and a later, longer line may place it.
    if (beginning.whole || beginning.size.width() >= shownWidth)
        resize(beginning.size);
    else
        resize(sizeHint());
}

int NoteText::shownHeight() const
{
    return qMax(0, parentWidget()->height() - y());
}

const NoteText::Beginning &NoteText::beginningFor(int height) const
{
    if (m_beginning.height == height)
        return m_beginning;
    const qsizetype lines = qsizetype(m_lineEnds.size()) + 1;
    qsizetype count = height / qMax(1, QFontMetrics(font()).height()) + 1;
    Beginning beginning;
    beginning.height = height;
    // Lines in a fallback font can be lower than the font's own: a guess that
    // falls short is doubled.
    for (;; count *= 2) {
        if (count >= lines) {
            beginning.whole = true;
            beginning.drawn = m_text.size();
            beginning.size = sizeHint();
            break;
        }
        // Without the line break that ends them, the lines measure no larger
        // than in the whole text.
        beginning.size = measure(m_text.left(endOfLine(count - 1)));
        if (beginning.size.height() >= height) {
            // One line more: each line drawn is laid out with what follows
            // it, as in the whole text.
            beginning.drawn = endOfLine(count);
            break;
        }
    }
    // Characters of no script of their own take that of the first one that
    // has one, wherever it is.
    if (m_firstScripted >= beginning.drawn) {
        const auto line = std::upper_bound(m_lineEnds.begin(), m_lineEnds.end(), m_firstScripted) - m_lineEnds.begin();
        beginning.drawn = endOfLine(line);
    }
    m_beginning = beginning;
    return m_beginning;
}

qsizetype NoteText::endOfLine(qsizetype line) const
{
    return line < qsizetype(m_lineEnds.size()) ? m_lineEnds[size_t(line)] : m_text.size();
}

QSize NoteText::measure(const QString &text) const
{
    const int flags = alignment() & ~(Qt::AlignHCenter | Qt::AlignVCenter);
    return QFontMetrics(font()).boundingRect(0, 0, MeasureBox, MeasureBox, flags, text).size();
}

// A label's: tabs stop every eight "x".
int NoteText::alignment() const
{
    return int(QStyle::visualAlignment(m_direction, Qt::AlignLeft | Qt::AlignTop)) | Qt::TextExpandTabs;
}
