// SPDX-License-Identifier: MIT
// What the program finds at run time on a screen scaled by two (the test runs
// with QT_SCALE_FACTOR=2): each control picture's doubled drawing at the same
// size on the screen, and the alarm sound where it is installed.

#include "notes/AlarmSound.h"
#include "desktop/ImageControl.h"
#include "ui/Definitions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void shouldDrawPicturesSharplyWhenScaled_data();
    void shouldDrawPicturesSharplyWhenScaled();
    void shouldFindTheSoundInTheDataFolders_data();
    void shouldFindTheSoundInTheDataFolders();
};

void TestResources::shouldDrawPicturesSharplyWhenScaled_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    namespace Def = Definitions::Form1;
    QTest::newRow("card") << Def::CardPicture << QSize(80, 43);
    QTest::newRow("new note") << Def::NewNotePicture << QSize(29, 43);
    QTest::newRow("quit") << Def::QuitPicture << QSize(32, 32);
    QTest::newRow("plus") << Def::PlusPicture << QSize(5, 5);
    QTest::newRow("close") << Definitions::Note::ClosePicture << QSize(32, 32);
}

void TestResources::shouldDrawPicturesSharplyWhenScaled()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    const QPixmap picture = LoadPicture(path.toUtf8().constData());
    // Same place on the screen as at 1x, drawn from twice the pixels.
    QCOMPARE(picture.deviceIndependentSize(), QSizeF(size));
    QCOMPARE(picture.size(), size * 2);
}

void TestResources::shouldFindTheSoundInTheDataFolders_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("second data folder") << QStringLiteral("dirs/b");
    QTest::newRow("user's data folder") << QStringLiteral("home");
    QTest::newRow("nowhere") << QString();
}

void TestResources::shouldFindTheSoundInTheDataFolders()
{
    QFETCH(QString, where);
    // The test program's folder has no BEEP beside it nor in ../share/nopi/.
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/BEEP");
    QVERIFY(!QFile::exists(beside));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *folder : {"home", "dirs/a", "dirs/b"})
        QVERIFY(QDir(dir.path()).mkpath(QString::fromUtf8(folder) + QStringLiteral("/nopi")));
    QString expected = beside;
    if (!where.isEmpty()) {
        expected = dir.filePath(where + QStringLiteral("/nopi/BEEP"));
        QFile sound(expected);
        QVERIFY(sound.open(QIODevice::WriteOnly));
    }
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("home")).toUtf8());
    qputenv("XDG_DATA_DIRS", (dir.filePath(QStringLiteral("dirs/a")) + u':' + dir.filePath(QStringLiteral("dirs/b"))).toUtf8());
    const QString found = AlarmSound::soundFile();
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");
    QCOMPARE(found, expected);
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
