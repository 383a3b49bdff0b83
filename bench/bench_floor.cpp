// SPDX-License-Identifier: MIT
// What Qt itself costs for what Nopi shows: a plain Qt Widgets program that
// shows the benchmarks' sample as Nopi draws it and does nothing else. A
// launcher-sized frameless window with the launcher's pictures, and fifteen
// frameless note windows with their colours, frames, close marks and texts
// (alarm line first where the note has an alarm) in the IPA fonts the
// notes' font names stand for, at the same places and sizes. No timer, no
// file, no window-manager request of its own.
//
//   bench_floor
//
// scripts/bench measures it as it measures Nopi (start-up, memory, idle), so
// each of Nopi's figures can be read against this floor.

#include "SampleNotes.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QWidget>

#include <memory>
#include <vector>

namespace {

// The bench's display has 96 dots per inch: 15 twips to the pixel.
constexpr int TwipsPerPixel = 15;
constexpr int FramePx = 4;

int px(int twips)
{
    return twips / TwipsPerPixel;
}

QLabel *picture(QWidget *parent, const char *path, QRect place)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap(QString::fromLatin1(path)));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}

class Note : public QWidget
{
public:
    explicit Note(int i) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    {
        const auto bgr = static_cast<quint32>(SampleNotes::color(i));
        m_color = QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
        setGeometry(px(SampleNotes::left(i)), px(SampleNotes::top(i)), px(SampleNotes::Width),
                    px(SampleNotes::Height));

        auto *client = new QWidget(this);
        client->setGeometry(clientRect());
        // The close mark as the note places it: a quarter of it in the
        // client's top-right corner.
        picture(client, ":/pictures/close.png", QRect(client->width() - 16, -16, 32, 32));

        auto *text = new QLabel(client);
        text->setTextFormat(Qt::PlainText);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QPalette palette = text->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        text->setPalette(palette);
        QFont font(SampleNotes::fontName(i));
        font.setPointSize(SampleNotes::pointSize(i));
        font.setBold(SampleNotes::bold(i));
        font.setHintingPreference(QFont::PreferNoHinting);
        text->setFont(font);
        QString shown = SampleNotes::text(i).replace(QStringLiteral("⇔"), QStringLiteral("\n"));
        if (SampleNotes::hasAlarm(i)) {
            const int at = SampleNotes::alarmTime(i);
            shown.prepend(QStringLiteral("<%1:%2>\n").arg(at / 100, 2, 10, QLatin1Char('0')).arg(at % 100, 2, 10, QLatin1Char('0')));
        }
        text->setText(shown);
        text->move(i == 0 ? 4 : 5, 5);
        text->adjustSize();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_color.darker(160));
        painter.fillRect(clientRect(), m_color);
    }

private:
    QRect clientRect() const { return rect().adjusted(FramePx, FramePx, -FramePx, -FramePx); }

    QColor m_color;
};

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The names the notes carry, shown with the IPA fonts as Nopi shows them.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));

    std::vector<std::unique_ptr<Note>> notes;
    for (int i = 0; i < SampleNotes::Count; ++i) {
        notes.push_back(std::make_unique<Note>(i));
        notes.back()->show();
    }

    QWidget launcher(nullptr, Qt::Window | Qt::FramelessWindowHint);
    launcher.setGeometry(px(SampleNotes::LauncherLeft), px(SampleNotes::LauncherTop),
                         px(SampleNotes::LauncherShownWidth), px(SampleNotes::LauncherHeight));
    QLabel *card = picture(&launcher, ":/pictures/card.png", QRect(3, 24, 108, 43));
    picture(card, ":/pictures/newnote.png", QRect(79, 0, 42, 45));
    picture(card, ":/pictures/plus.png", QRect(60, 29, 5, 5));
    launcher.show();
    return QApplication::exec();
}
