#include "config/Messages.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "support/ScriptedPresenter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(MsgKind)
Q_DECLARE_METATYPE(MsgButtons)

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void showMessage_data();
    void showMessage();
    void answers();
    void missingLanguageFile();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void TestMessages::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("lang.dat"));
    QString content = QStringLiteral("[MsgBox]\r\n");
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 50, 51})
        content += QStringLiteral("Mes%1=text%1\r\n").arg(n, 3, 10, QChar(u'0'));
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(TextCodec::encode(content));
}

void TestMessages::showMessage_data()
{
    QTest::addColumn<int>("no");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<MsgKind>("kind");
    QTest::addColumn<MsgButtons>("buttons");

    QTest::newRow("0: quoted name, two spaces, question")
        << 0 << "abc" << "'abc'  text002" << MsgKind::Question << MsgButtons::YesNoCancel;
    QTest::newRow("1: key text only") << 1 << "ignored" << "text003" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("2: warning") << 2 << "" << "text004" << MsgKind::Warning << MsgButtons::Ok;
    QTest::newRow("3: given text directly before")
        << 3 << "Set speed" << "Set speedtext005" << MsgKind::Warning << MsgButtons::Ok;
    QTest::newRow("4: no answer") << 4 << "" << "text006" << MsgKind::Warning << MsgButtons::Ok;
    QTest::newRow("5: stopped") << 5 << "" << "text007" << MsgKind::Information << MsgButtons::Ok;
    QTest::newRow("6: completed") << 6 << "" << "text008" << MsgKind::Information << MsgButtons::Ok;
    QTest::newRow("7: error reply 0 is a warning") << 7 << "" << "text009" << MsgKind::Warning << MsgButtons::Ok;
    QTest::newRow("8: error reply 1") << 8 << "" << "text010" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("15: error reply 8") << 15 << "" << "text017" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("16: other error reply") << 16 << "" << "text018" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("17: label directly before")
        << 17 << "Speed" << "Speedtext019" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("18: file line") << 18 << "" << "text020" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("19: uses Mes050, label before")
        << 19 << "No." << "No.text050" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("20: uses Mes051") << 20 << "" << "text051" << MsgKind::Error << MsgButtons::Ok;
    QTest::newRow("out of the table: empty error box")
        << 21 << "x" << "" << MsgKind::Error << MsgButtons::Ok;
}

void TestMessages::showMessage()
{
    QFETCH(int, no);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(MsgKind, kind);
    QFETCH(MsgButtons, buttons);

    const clsIniFile ini(m_path);
    ScriptedPresenter presenter;
    const Messages messages(ini, presenter);
    messages.showMessage(no, text);
    QCOMPARE(presenter.shown.size(), 1);
    QCOMPARE(presenter.shown[0].text, shown);
    QCOMPARE(presenter.shown[0].kind, kind);
    QCOMPARE(presenter.shown[0].buttons, buttons);
    QCOMPARE(presenter.shown[0].title, QStringLiteral("Velomat"));
}

void TestMessages::answers()
{
    const clsIniFile ini(m_path);
    ScriptedPresenter presenter;
    const Messages messages(ini, presenter);
    presenter.answers = {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel};
    QCOMPARE(messages.showMessage(0, "a"), MsgAnswer::Yes);
    QCOMPARE(messages.showMessage(0, "a"), MsgAnswer::No);
    QCOMPARE(messages.showMessage(0, "a"), MsgAnswer::Cancel);
    QCOMPARE(messages.showMessage(4), MsgAnswer::Ok);

    messages.showKey(QStringLiteral("Mes021"), MsgKind::Information);
    QCOMPARE(presenter.shown.last().text, QStringLiteral("text021"));
    QCOMPARE(presenter.shown.last().kind, MsgKind::Information);
}

void TestMessages::missingLanguageFile()
{
    const clsIniFile ini(m_dir.filePath(QStringLiteral("absent.dat")));
    ScriptedPresenter presenter;
    const Messages messages(ini, presenter);
    messages.showMessage(1);
    messages.showMessage(3, QStringLiteral("name"));
    QCOMPARE(presenter.shown[0].text, QString());
    QCOMPARE(presenter.shown[1].text, QStringLiteral("name"));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
