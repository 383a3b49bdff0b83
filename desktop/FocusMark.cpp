// SPDX-License-Identifier: MIT
#include "desktop/FocusMark.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Whether the user's last input to the program was a key, and the marks that
// follow it. A key that only modifies the mouse (Ctrl, Shift held for a
// click) is no such input.
class KeyboardUse : public QObject
{
public:
    static KeyboardUse &instance()
    {
        if (!s_use)
            s_use = new KeyboardUse;
        return *s_use;
    }

    static void forget(FocusMark *mark)
    {
        if (s_use)
            s_use->remove(mark);
    }

    bool inUse() const { return m_inUse; }

    void add(FocusMark *mark) { m_marks.push_back(mark); }
    void remove(FocusMark *mark) { m_marks.erase(std::remove(m_marks.begin(), m_marks.end(), mark), m_marks.end()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (!isModifier(static_cast<QKeyEvent *>(event)->key()))
                set(true);
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
            set(false);
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    KeyboardUse() : QObject(qApp) { qApp->installEventFilter(this); }

    static bool isModifier(int key)
    {
        return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
                || key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R
                || key == Qt::Key_CapsLock;
    }

    void set(bool inUse)
    {
        if (std::exchange(m_inUse, inUse) == inUse)
            return;
        for (FocusMark *mark : m_marks)
            mark->follow();
    }

    static inline QPointer<KeyboardUse> s_use;
    bool m_inUse = false;
    std::vector<FocusMark *> m_marks;
};

}

FocusMark::FocusMark(QWidget *window, std::function<QRect()> visible)
    : QWidget(window), m_window(window), m_visible(std::move(visible))
{
    setObjectName(QStringLiteral("focusMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    window->installEventFilter(this);
    KeyboardUse::instance().add(this);
}

FocusMark::~FocusMark()
{
    KeyboardUse::forget(this);
}

void FocusMark::follow()
{
    const bool shown = m_window->isActiveWindow() && KeyboardUse::instance().inUse();
    if (shown == !isHidden())
        return;
    if (shown) {
        place();
        raise();
    }
    setVisible(shown);
}

bool FocusMark::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
            follow();
        else if (event->type() == QEvent::Resize && !isHidden())
            place();
    }
    return QWidget::eventFilter(watched, event);
}

// One pixel in from the visible edge on the left and top, two on the right
// and bottom: just inside the dark edge the windows draw there.
QRect FocusMark::ring() const
{
    return m_visible().adjusted(1, 1, -2, -2);
}

// The mark covers its ring and nothing else, so it hides nothing of what it
// surrounds and draws nothing elsewhere.
void FocusMark::place()
{
    const QRect outer = ring();
    setGeometry(m_window->rect());
    setMask(QRegion(outer).subtracted(QRegion(outer.adjusted(1, 1, -1, -1))));
    update();
}

void FocusMark::paintEvent(QPaintEvent *)
{
    const QRect outer = ring();
    std::vector<QPoint> dots[2];
    const auto dot = [&dots](int x, int y) { dots[(x + y) & 1].emplace_back(x, y); };
    for (int x = outer.left(); x <= outer.right(); ++x) {
        dot(x, outer.top());
        dot(x, outer.bottom());
    }
    for (int y = outer.top() + 1; y < outer.bottom(); ++y) {
        dot(outer.left(), y);
        dot(outer.right(), y);
    }
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawPoints(dots[0].data(), int(dots[0].size()));
    painter.setPen(Qt::white);
    painter.drawPoints(dots[1].data(), int(dots[1].size()));
}
