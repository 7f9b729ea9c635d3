#include "config/RecentFiles.h"
#include "config/TextCodec.h"
#include "support/FileBytes.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRecentFiles : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void pathsKept_data();
    void pathsKept();
};

void TestRecentFiles::order_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("most recent first") << QStringList{"/p/a", "/p/b", "/p/c"} << QStringList{"/p/c", "/p/b", "/p/a"};
    QTest::newRow("a repeat moves to the front")
        << QStringList{"/p/a", "/p/b", "/p/c", "/p/a"} << QStringList{"/p/a", "/p/c", "/p/b"};
    QTest::newRow("the same file spelled otherwise")
        << QStringList{"/p/a", "/p/b", "/p/x/../a"} << QStringList{"/p/x/../a", "/p/b"};
    QStringList nine, lastEight;
    for (int i = 1; i <= 9; ++i)
        nine << QStringLiteral("/p/%1").arg(i);
    for (int i = 9; i >= 2; --i)
        lastEight << QStringLiteral("/p/%1").arg(i);
    QTest::newRow("eight kept, the oldest falls off") << nine << lastEight;
}

// The order, and the same list again after the next run has read the file.
void TestRecentFiles::order()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString file = dir.filePath(QLatin1String(RecentFiles::kFileName));
    RecentFiles recent(file);
    recent.load();
    for (const QString &path : added)
        recent.add(path);
    QCOMPARE(recent.files(), expected);
    QVERIFY(recent.save());

    RecentFiles nextRun(file);
    nextRun.load();
    QCOMPARE(nextRun.files(), expected);
}

void TestRecentFiles::pathsKept_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("readable"); // written as it is
    QTest::newRow("Japanese name") << QString::fromUtf16(u"/home/u/ﾌﾟﾛｸﾞﾗﾑ/位置決め.txt") << true;
    QTest::newRow("letters outside code page 932") << QString::fromUtf16(u"/home/müller/ẞ😀.txt") << false;
    QTest::newRow("longer than a settings value") << QStringLiteral("/p/") + QString(300, u'x') << true;
    QTest::newRow("blank at the end") << QStringLiteral("/p/a.txt ") << false;
    QTest::newRow("looks encoded") << QStringLiteral("utf-8:%41") << false;
}

void TestRecentFiles::pathsKept()
{
    QFETCH(QString, path);
    QFETCH(bool, readable);
    QTemporaryDir dir;
    const QString file = dir.filePath(QLatin1String(RecentFiles::kFileName));
    RecentFiles recent(file);
    recent.add(path);
    QVERIFY(recent.save());
    const QByteArray bytes = readBytes(file);
    QVERIFY(bytes.startsWith("[Recent]\r\nFile1="));
    QCOMPARE(bytes.contains(TextCodec::encode(path)), readable);
    RecentFiles nextRun(file);
    nextRun.load();
    QCOMPARE(nextRun.files(), QStringList{path});
}

QTEST_GUILESS_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
