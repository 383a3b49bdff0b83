// SPDX-License-Identifier: MIT
#include "notes/NoteAccessible.h"

#include "notes/NoteText.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace {

// A screen reader speaks an alert that appears; Qt's AT-SPI bridge passes on
// no other announcement.
constexpr QAccessible::Role AlertRole = QAccessible::AlertMessage;

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
