// SPDX-License-Identifier: MIT
#include "notes/NoteText.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>
#include <QRawFont>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <utility>

namespace {

// A label without word wrap measures its text in a box this large: wide
// enough that no line of it is broken.
constexpr int MeasureBox = 2000;

// A line is drawn up to this many characters for each pixel the parent shows
// of it, and this many more: further on, a character cannot reach into view
// unless hundreds before it have no width at all.
constexpr int CharactersPerPixel = 4;
constexpr int CharactersBeyond = 256;

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
    const QString before = std::exchange(m_text, text);
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
    textOrFontChanged();
    if (QAccessible::isActive() && before != m_text) {
        QAccessibleTextUpdateEvent event(this, 0, before, m_text);
        QAccessible::updateAccessibility(&event);
    }
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
    const int direction = m_direction == Qt::RightToLeft ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight;
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, rect(), alignment() | direction, option.palette, isEnabled(),
                          m_drawnWhole ? m_text : beginningFor(shownSize()).drawn, foregroundRole());
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
    const QSize shown = shownSize();
    const Beginning &beginning = beginningFor(shown);
    // Narrower than the window, the first lines leave the text's right edge
    // in view, and a later, longer line may place it.
    if (beginning.whole || beginning.size.width() >= shown.width())
        resize(beginning.size);
    else
        resize(sizeHint());
}

QSize NoteText::shownSize() const
{
    return QSize(qMax(0, parentWidget()->width() - x()), qMax(0, parentWidget()->height() - y()));
}

const NoteText::Beginning &NoteText::beginningFor(QSize shown) const
{
    if (m_beginning.shown == shown)
        return m_beginning;
    const qsizetype lines = qsizetype(m_lineEnds.size()) + 1;
    const qsizetype cut = qsizetype(shown.width()) * CharactersPerPixel + CharactersBeyond;
    // Characters of no script of their own take that of the first one that
    // has one, wherever it is: the lines drawn reach it.
    const qsizetype scripted =
            std::upper_bound(m_lineEnds.begin(), m_lineEnds.end(), m_firstScripted) - m_lineEnds.begin() + 1;
    qsizetype count = shown.height() / qMax(1, QFontMetrics(font()).height()) + 1;
    Beginning beginning;
    beginning.shown = shown;
    // Lines in a fallback font can be lower than the font's own: a guess that
    // falls short is doubled.
    for (;; count *= 2) {
        const qsizetype measured = qMin(count, lines);
        // Without the line break that ends them, the lines measure no larger
        // than in the whole text, and no lower: their heights are kept.
        const QString first = firstLines(measured, cut);
        if (first.size() == m_text.size()) {
            beginning.whole = true;
            beginning.drawn = m_text;
            beginning.size = sizeHint();
            break;
        }
        beginning.size = measure(first);
        if (beginning.size.height() >= shown.height() || measured == lines) {
            // One line more: each line drawn is laid out with what follows
            // it, as in the whole text.
            beginning.drawn = firstLines(qMin(qMax(count + 1, m_firstScripted < 0 ? 0 : scripted), lines), cut);
            break;
        }
    }
    m_beginning = beginning;
    return m_beginning;
}

// The first `count` lines, each without what lies `cut` characters beyond
// its start, where that changes nothing of what shows.
QString NoteText::firstLines(qsizetype count, qsizetype cut) const
{
    // The font itself, without the fallbacks that draw what it lacks.
    const QRawFont own = QRawFont::fromFont(font());
    QString lines;
    qsizetype start = 0;
    for (qsizetype line = 0; line < count; ++line) {
        const qsizetype end = endOfLine(line);
        if (line > 0)
            lines += QLatin1Char('\n');
        lines += QStringView(m_text).mid(start, keptLength(start, end, cut, own));
        start = end + 1;
    }
    return lines;
}

qsizetype NoteText::keptLength(qsizetype start, qsizetype end, qsizetype cut, const QRawFont &own) const
{
    const qsizetype length = end - start;
    qsizetype kept = m_firstScripted >= start && m_firstScripted < end ? qMax(cut, m_firstScripted - start + 1) : cut;
    if (length <= kept)
        return length;
    if (m_text.at(start + kept - 1).isHighSurrogate())
        ++kept;
    // A character of another font may be taller than the note's own: the
    // line it is on, and every line below, would stand lower.
    for (qsizetype at = start + kept; at < end; ++at) {
        const char32_t c = characterAt(m_text, at);
        if (!own.supportsCharacter(c))
            return length;
        if (QChar::requiresSurrogates(c))
            ++at;
    }
    return kept;
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
