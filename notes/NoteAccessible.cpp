// SPDX-License-Identifier: MIT
#include "notes/NoteAccessible.h"

#include "notes/NoteText.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace {

// Qt's AT-SPI bridge drops the Alert event; what a screen reader hears is an
// object appearing. Orca speaks one whose role is a notification wherever the
// focus is; an alert message (an "alert" to AT-SPI) it takes in silence.
constexpr QAccessible::Role AlertRole = QAccessible::Notification;

// The note's text as it shows: lines as drawn, never wrapped, read-only.
class NoteTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit NoteTextAccessible(NoteText *text) : QAccessibleWidget(text, QAccessible::StaticText) { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }

    // Nothing can be selected, and there is no caret to move.
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    void scrollToSubstring(int, int) override { }

    QString text(int startOffset, int endOffset) const override
    {
        const QString &all = shown();
        startOffset = std::clamp(startOffset, 0, int(all.size()));
        endOffset = std::clamp(endOffset, startOffset, int(all.size()));
        return all.mid(startOffset, endOffset - startOffset);
    }

    int characterCount() const override { return int(shown().size()); }

    // Lines as they show, each with the line break that ends it; Qt's own
    // answer is the whole text.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                         int *endOffset) const override
    {
        if (!isLine(type))
            return QAccessibleTextInterface::textAtOffset(offset, type, startOffset, endOffset);
        return lineAt(offset, startOffset, endOffset);
    }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                             int *endOffset) const override
    {
        if (!isLine(type))
            return QAccessibleTextInterface::textBeforeOffset(offset, type, startOffset, endOffset);
        lineAt(offset, startOffset, endOffset);
        if (*startOffset <= 0) {
            *startOffset = *endOffset = -1;
            return QString();
        }
        return lineAt(*startOffset - 1, startOffset, endOffset);
    }

    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                            int *endOffset) const override
    {
        if (!isLine(type))
            return QAccessibleTextInterface::textAfterOffset(offset, type, startOffset, endOffset);
        lineAt(offset, startOffset, endOffset);
        if (*endOffset < 0 || *endOffset >= characterCount()) {
            *startOffset = *endOffset = -1;
            return QString();
        }
        return lineAt(*endOffset, startOffset, endOffset);
    }

    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return QString();
    }

    QRect characterRect(int offset) const override
    {
        const QString &all = shown();
        if (offset < 0 || offset >= all.size())
            return QRect();
        const qsizetype start = lineStart(offset);
        const int left = advance(start, offset);
        const QRect local(left, lineTop(all.left(start).count(QLatin1Char('\n'))), advance(start, offset + 1) - left,
                          metrics().height());
        return QRect(widget()->mapToGlobal(local.topLeft()), local.size());
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        const QString &all = shown();
        const QPoint local = widget()->mapFromGlobal(point);
        const int spacing = qMax(1, metrics().lineSpacing());
        if (local.x() < 0 || local.y() < lineTop(0))
            return -1;
        qsizetype start = 0;
        for (int line = (local.y() - lineTop(0)) / spacing; line > 0; --line) {
            start = all.indexOf(QLatin1Char('\n'), start);
            if (start < 0)
                return -1;
            ++start;
        }
        qsizetype end = all.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = all.size();
        // The first character whose right edge lies past the point.
        qsizetype low = start;
        qsizetype high = end;
        while (low < high) {
            const qsizetype middle = (low + high) / 2;
            if (advance(start, middle + 1) > local.x())
                high = middle;
            else
                low = middle + 1;
        }
        return low < end ? int(low) : -1;
    }

private:
    const QString &shown() const { return static_cast<NoteText *>(widget())->text(); }

    static bool isLine(QAccessible::TextBoundaryType type)
    {
        return type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary;
    }

    QString lineAt(int offset, int *startOffset, int *endOffset) const
    {
        const QString &all = shown();
        if (all.isEmpty() || offset < 0 || offset > all.size()) {
            *startOffset = *endOffset = -1;
            return QString();
        }
        const qsizetype end = all.indexOf(QLatin1Char('\n'), offset);
        *startOffset = int(lineStart(qMin(qsizetype(offset), all.size())));
        *endOffset = end < 0 ? int(all.size()) : int(end + 1);
        return all.mid(*startOffset, *endOffset - *startOffset);
    }
    QFontMetrics metrics() const { return QFontMetrics(widget()->font()); }

    qsizetype lineStart(qsizetype offset) const
    {
        return offset == 0 ? 0 : shown().lastIndexOf(QLatin1Char('\n'), offset - 1) + 1;
    }

    // How far into its line the text from `start` to `end` reaches, tabs
    // expanded as drawn.
    int advance(qsizetype start, qsizetype end) const
    {
        return metrics().size(Qt::TextExpandTabs, shown().mid(start, end - start)).width();
    }

    int lineTop(int line) const
    {
        const QFontMetrics fm = metrics();
        return fm.leading() + line * fm.lineSpacing();
    }
};

}

AlarmAlert::AlarmAlert(QWidget *note) : QWidget(note)
{
    setObjectName(QStringLiteral("alarmAlert"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Nothing of it shows on the screen.
    resize(0, 0);
    hide();
}

void AlarmAlert::ring(const QString &name, const QString &description)
{
    setAccessibleName(name);
    setAccessibleDescription(description);
    show();
}

void AlarmAlert::stop()
{
    hide();
}

QAccessibleInterface *NoteAccessibleInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("NoteText"))
        return new NoteTextAccessible(static_cast<NoteText *>(object));
    if (className == QLatin1String("AlarmAlert"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), AlertRole);
    return nullptr;
}
