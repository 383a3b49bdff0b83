// SPDX-License-Identifier: MIT
// Every window's controls against their definitions: places and sizes,
// captions that fit, tool tips (their own, never a parent's), tab order.

#include "WidgetFixture.h"
#include "desktop/WindowProcedures.h"
#include "editor/AlarmFrame.h"
#include "ui/Definitions.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QToolTip>

namespace {

namespace Def = Definitions::Form2;

const Def::Control &definitionOf(const QString &name)
{
    for (const Def::Control &control : Def::Controls) {
        if (QString::fromUtf8(control.name) == name)
            return control;
    }
    qFatal("no definition for %s", qPrintable(name));
}

// The windows the rows speak of: "edit" (a new note's edit screen), "launcher",
// "note3" and "note4" (notes of those slots, shown from the file).
QWidget *windowNamed(WidgetFixture &fixture, const QString &window)
{
    if (window == QLatin1String("edit"))
        return fixture.openEditScreen(5);
    if (window == QLatin1String("launcher"))
        return &fixture.launcher();
    const int slot = window.mid(4).toInt();
    fixture.save(NoteSection(slot), noteRecord());
    return fixture.showNote(slot);
}

// The tool tip that resting the pointer on the widget shows, or none.
QString toolTipShownOver(QWidget *widget)
{
    const QPoint centre = widget->rect().center();
    QHelpEvent help(QEvent::ToolTip, centre, widget->mapToGlobal(centre));
    QApplication::sendEvent(widget, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// The width a control gives its caption, as the style lays it out.
int captionWidth(QWidget *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QRadioButton *>(button))
            contents = QStyle::SE_RadioButtonContents;
        else if (qobject_cast<QCheckBox *>(button))
            contents = QStyle::SE_CheckBoxContents;
        return button->style()->subElementRect(contents, &option, button).width();
    }
    if (auto *frame = qobject_cast<AlarmFrame *>(control))
        return frame->width() - frame->titleRect().left();
    return control->contentsRect().width();
}

QString captionOf(QWidget *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *frame = qobject_cast<QGroupBox *>(control))
        return frame->title();
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->text();
    return {};
}

}

class TestDefinitions : public QObject
{
    Q_OBJECT

private slots:
    void shouldPlaceEachControl_data();
    void shouldPlaceEachControl();
    void shouldFitEachCaption_data();
    void shouldFitEachCaption();
    void shouldShowOnlyItsOwnToolTip_data();
    void shouldShowOnlyItsOwnToolTip();
    void shouldNameEachFieldForScreenReaders_data();
    void shouldNameEachFieldForScreenReaders();
    void shouldTabInDefinitionOrder_data();
    void shouldTabInDefinitionOrder();
    void shouldDrawItsOwnFrameAroundTheClientArea();
    void shouldPutTheAlarmTitleInTheFramesTopLine();
};

void TestDefinitions::shouldPlaceEachControl_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("pixels");

    // Edit screen: 340 x 159 client; the frame across the top, the text box
    // below it on the left, two columns of buttons to its right.
    QTest::newRow("edit: client area under the caption strip") << "edit" << "client" << "Form2"
                                                                << QRect(3, 24, 340, 159);
    QTest::newRow("edit: ALARM frame across the top") << "edit" << "Frame1" << "client" << QRect(7, 3, 325, 46);
    QTest::newRow("edit: OFF") << "edit" << "Option1_0" << "Frame1" << QRect(14, 16, 44, 21);
    QTest::newRow("edit: ON") << "edit" << "Option1_1" << "Frame1" << QRect(64, 16, 38, 21);
    QTest::newRow("edit: hour box") << "edit" << "Text2" << "Frame1" << QRect(107, 16, 24, 21);
    QTest::newRow("edit: colon") << "edit" << "Label1" << "Frame1" << QRect(136, 18, 13, 16);
    QTest::newRow("edit: minute box") << "edit" << "Text3" << "Frame1" << QRect(147, 16, 24, 21);
    QTest::newRow("edit: Date") << "edit" << "Check1" << "Frame1" << QRect(191, 18, 50, 17);
    QTest::newRow("edit: month box") << "edit" << "Text4" << "Frame1" << QRect(245, 16, 24, 21);
    QTest::newRow("edit: slash") << "edit" << "Label2" << "Frame1" << QRect(274, 19, 9, 20);
    QTest::newRow("edit: day box") << "edit" << "Text5" << "Frame1" << QRect(285, 16, 25, 21);
    QTest::newRow("edit: note text 213x92") << "edit" << "Text1" << "client" << QRect(7, 55, 213, 92);
    QTest::newRow("edit: Color") << "edit" << "Command3" << "client" << QRect(227, 55, 56, 43);
    QTest::newRow("edit: Font") << "edit" << "Command4" << "client" << QRect(283, 55, 50, 43);
    QTest::newRow("edit: OK") << "edit" << "Command1" << "client" << QRect(227, 102, 56, 45);
    QTest::newRow("edit: Cancel") << "edit" << "Command2" << "client" << QRect(283, 102, 50, 45);

    // Launcher: a 108 x 43 strip under a 3-pixel frame and a 21-pixel title.
    QTest::newRow("launcher: client strip") << "launcher" << "client" << "Form1" << QRect(3, 24, 108, 43);
    QTest::newRow("launcher: new-note button") << "launcher" << "Picture1" << "client" << QRect(79, 0, 42, 45);
    QTest::newRow("launcher: quit mark") << "launcher" << "Image1" << "client" << QRect(-18, 28, 32, 32);
    QTest::newRow("launcher: plus mark") << "launcher" << "Image2" << "client" << QRect(60, 29, 5, 5);

    // A note of 180 x 100 pixels: its client inside the 4-pixel sizing frame.
    QTest::newRow("note 3: client inside the sizing frame") << "note3" << "client" << "Form3" << QRect(4, 4, 172, 92);
}

void TestDefinitions::shouldPlaceEachControl()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, parent);
    QFETCH(QRect, pixels);
    WidgetFixture fixture;
    QWidget *top = windowNamed(fixture, window);
    auto *widget = top->findChild<QWidget *>(control);
    QVERIFY(widget);
    if (window == QLatin1String("edit") && control != QLatin1String("client"))
        QCOMPARE(PixelsFromTwips(definitionOf(control).rect), pixels);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(), pixels);
}

void TestDefinitions::shouldFitEachCaption_data()
{
    QTest::addColumn<QString>("control");
    for (const Def::Control &control : Def::Controls) {
        if (*control.caption) {
            const QString row = QStringLiteral("\"%1\" in %2").arg(QString::fromUtf8(control.caption).trimmed(),
                                                                QString::fromUtf8(control.name));
            QTest::newRow(qPrintable(row)) << QString::fromUtf8(control.name);
        }
    }
}

void TestDefinitions::shouldFitEachCaption()
{
    QFETCH(QString, control);
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(5);
    auto *widget = screen->findChild<QWidget *>(control);
    QVERIFY(widget);
    const QString caption = captionOf(widget);
    QCOMPARE(caption, QString::fromUtf8(definitionOf(control).caption));
    const int textWidth = QFontMetrics(widget->font()).horizontalAdvance(caption);
    QVERIFY2(textWidth <= captionWidth(widget),
             qPrintable(QStringLiteral("%1 px of text in %2 px").arg(textWidth).arg(captionWidth(widget))));
    if (qobject_cast<QRadioButton *>(widget) || qobject_cast<QCheckBox *>(widget))
        QVERIFY2(widget->sizeHint().width() <= widget->width(),
                 qPrintable(QStringLiteral("wants %1 px, has %2").arg(widget->sizeHint().width()).arg(widget->width())));
}

void TestDefinitions::shouldShowOnlyItsOwnToolTip_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("toolTip");

    const QString alarm = QString::fromUtf8(Def::AlarmToolTip);
    const QString preset = QString::fromUtf8(Def::PresetToolTip);
    QTest::newRow("edit: the frame shows its own") << "edit" << "Frame1" << alarm;
    QTest::newRow("edit: OFF explains the preset hour") << "edit" << "Option1_0" << preset;
    QTest::newRow("edit: ON explains the blinking") << "edit" << "Option1_1" << alarm;
    QTest::newRow("edit: the colon explains the preset hour") << "edit" << "Label1" << preset;
    QTest::newRow("edit: hour box shows none") << "edit" << "Text2" << QString();
    QTest::newRow("edit: minute box shows none") << "edit" << "Text3" << QString();
    QTest::newRow("edit: Date shows none") << "edit" << "Check1" << QString();
    QTest::newRow("edit: month box shows none") << "edit" << "Text4" << QString();
    QTest::newRow("edit: slash shows none") << "edit" << "Label2" << QString();
    QTest::newRow("edit: day box shows none") << "edit" << "Text5" << QString();
    QTest::newRow("edit: note text shows none") << "edit" << "Text1" << QString();
    QTest::newRow("edit: Cancel shows none") << "edit" << "Command2" << QString();
    QTest::newRow("edit: OK tells the quick path")
        << "edit" << "Command1"
        << QStringLiteral("キーボードで文字入力した後に　→「TAB」→「ＯＫ］を行うと素早く付箋紙を作成できます。");
    QTest::newRow("edit: Color counts the colours") << "edit" << "Command3"
                                                    << QStringLiteral("付箋紙の色は全部で４色あります。");
    QTest::newRow("edit: Font warns of italics")
        << "edit" << "Command4"
        << QStringLiteral("字体を選びます。（斜体は文字編集がしにくいので使わない方が良いでしょう。）");
    QTest::newRow("launcher: new-note button") << "launcher" << "Picture1" << QStringLiteral("新規作成");
    QTest::newRow("note 3: close mark") << "note3" << "Image1"
                                        << QString::fromUtf8(Definitions::noteDefinition(3).image1ToolTip);
}

void TestDefinitions::shouldShowOnlyItsOwnToolTip()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, toolTip);
    WidgetFixture fixture;
    QWidget *top = windowNamed(fixture, window);
    top->show();
    QVERIFY(QTest::qWaitForWindowExposed(top));
    auto *widget = top->findChild<QWidget *>(control);
    QVERIFY(widget);
    widget->show();
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    QCOMPARE(toolTipShownOver(widget), toolTip);
}

void TestDefinitions::shouldNameEachFieldForScreenReaders_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("note text") << "Text1" << QStringLiteral("付箋紙の文章");
    QTest::newRow("hour") << "Text2" << QStringLiteral("アラームの時");
    QTest::newRow("minute") << "Text3" << QStringLiteral("アラームの分");
    QTest::newRow("month") << "Text4" << QStringLiteral("アラームの月");
    QTest::newRow("day") << "Text5" << QStringLiteral("アラームの日");
    QTest::newRow("Date") << "Check1" << QStringLiteral("日付を指定");
    QTest::newRow("OFF") << "Option1_0" << QStringLiteral("アラーム OFF");
    QTest::newRow("ON") << "Option1_1" << QStringLiteral("アラーム ON");
    QTest::newRow("OK") << "Command1" << QStringLiteral("ＯＫ");
    // A button is called what it shows.
    QTest::newRow("Cancel") << "Command2" << QStringLiteral("Cancel");
    QTest::newRow("Color") << "Command3" << QStringLiteral("Color");
    QTest::newRow("Font") << "Command4" << QStringLiteral("Font");
}

// What a screen reader says for each field: the boxes have no caption of
// their own to read.
void TestDefinitions::shouldNameEachFieldForScreenReaders()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(5);
    QAccessibleInterface *field = QAccessible::queryAccessibleInterface(child<QWidget>(screen, qPrintable(control)));
    QVERIFY(field);
    QCOMPARE(field->text(QAccessible::Name), name);
    QVERIFY(!field->text(QAccessible::Description).isEmpty());
}

void TestDefinitions::shouldTabInDefinitionOrder_data()
{
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QStringList>("stops");

    // Tab index order, less what is hidden, and the alarm switch once, on
    // the option that is on.
    QTest::newRow("alarm off: the alarm fields are hidden")
        << 0 << 0 << QStringList{"Text1", "Command1", "Command3", "Command2", "Option1_0", "Command4", "Text1"};
    QTest::newRow("alarm on: hour and minute")
        << 1 << 930
        << QStringList{"Text1", "Command1", "Command3", "Command2", "Option1_1", "Text2", "Text3", "Check1",
                       "Command4", "Text1"};
    QTest::newRow("alarm on with a date: every field")
        << 1 << 12251230
        << QStringList{"Text1",  "Command1", "Command3", "Command2", "Option1_1", "Text2", "Text3",
                       "Check1", "Text4",    "Text5",    "Command4", "Text1"};
}

void TestDefinitions::shouldTabInDefinitionOrder()
{
    QFETCH(int, alarm);
    QFETCH(int, aTime);
    QFETCH(QStringList, stops);
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.ALARM = alarm;
    record.A_TIME = aTime;
    fixture.save(NoteSection(3), record);
    Form2 *screen = fixture.openEditScreen(3);
    screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen));

    QStringList visited{QApplication::focusWidget()->objectName()};
    while (visited.size() < stops.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, stops);
}

void TestDefinitions::shouldDrawItsOwnFrameAroundTheClientArea()
{
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(5);
    QVERIFY(screen->windowFlags() & Qt::FramelessWindowHint);
    // 3-pixel border, 21-pixel caption strip, 340 x 159 client.
    QCOMPARE(screen->size(), QSize(346, 186));
    QCOMPARE(child<QWidget>(screen, "caption")->geometry(), QRect(3, 3, 340, 21));
}

// A classic group box: the top line runs through the title, which interrupts
// it, and the OFF/ON row lies inside the box, below that line.
void TestDefinitions::shouldPutTheAlarmTitleInTheFramesTopLine()
{
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(5);
    auto *frame = child<QGroupBox>(screen, "Frame1");
    const QImage image = frame->grab().toImage();
    const QRgb face = image.pixel(frame->width() / 2, frame->height() / 2);

    int lineY = 0;
    while (lineY < image.height() && image.pixel(frame->width() - 20, lineY) == face)
        ++lineY;
    const QFontMetrics metrics(frame->font());
    QVERIFY2(lineY > 0 && lineY < metrics.height(), qPrintable(QString::number(lineY)));
    QVERIFY(lineY < child<QWidget>(screen, "Option1_0")->y());

    const QRgb line = image.pixel(frame->width() - 20, lineY);
    int linePixels = 0;
    for (int x = 0; x < image.width(); ++x)
        linePixels += image.pixel(x, lineY) == line ? 1 : 0;
    QVERIFY2(linePixels <= image.width() - metrics.horizontalAdvance(QStringLiteral("ALARM")),
             qPrintable(QStringLiteral("%1 of %2 pixels are line").arg(linePixels).arg(image.width())));
}

QTEST_MAIN(TestDefinitions)
#include "tst_definitions.moc"
