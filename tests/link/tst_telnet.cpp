#include "link/TelnetComPort.h"

#include <QTest>

// The Telnet layer of the COM port option against byte tables: escaping,
// the client's requests, and the decoding of what a server sends, also
// when a command arrives split across reads.
class TestTelnet : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void answers_data();
    void answers();
};

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

QString describe(const QList<TelnetComPort::Command> &commands)
{
    QStringList out;
    for (const TelnetComPort::Command &c : commands)
        out << QStringLiteral("%1 %2 %3").arg(c.verb).arg(c.option).arg(QString::fromLatin1(c.payload.toHex()));
    return out.join(u'|');
}

} // namespace

void TestTelnet::encode_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("data without 0xFF") << TelnetComPort::escape("?:\r\n") << QByteArray("?:\r\n");
    QTest::newRow("0xFF doubled") << TelnetComPort::escape(hex("41ff42ffff")) << hex("41ffff42ffffffff");
    QTest::newRow("opening") << TelnetComPort::opening() << hex("fffb2cfffb00fffd00");
    QTest::newRow("baud 9600") << TelnetComPort::setBaudRate(9600) << hex("fffa2c0100002580fff0");
    QTest::newRow("baud 38400") << TelnetComPort::setBaudRate(38400) << hex("fffa2c0100009600fff0");
    QTest::newRow("a baud byte 0xFF is doubled") << TelnetComPort::setBaudRate(255) << hex("fffa2c01000000ffff" "fff0");
    QTest::newRow("7 data bits") << TelnetComPort::setDataSize(7) << hex("fffa2c0207fff0");
    QTest::newRow("even parity") << TelnetComPort::setParity(TelnetComPort::ParityEven) << hex("fffa2c0303fff0");
    QTest::newRow("two stop bits") << TelnetComPort::setStopSize(TelnetComPort::StopTwo) << hex("fffa2c0402fff0");
}

void TestTelnet::encode()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    QCOMPARE(sent.toHex(), expected.toHex());
}

void TestTelnet::decode_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("commands"); // verb option payload-hex
    QTest::newRow("data alone") << QByteArray("OK\r\n") << QByteArray("OK\r\n") << "";
    QTest::newRow("a doubled 0xFF is one byte") << hex("41ffff42") << hex("41ff42") << "";
    QTest::newRow("option requests between data") << hex("4ffffb00fffd2c4b") << QByteArray("OK")
                                                  << "251 0 |253 44 ";
    QTest::newRow("the server's baud answer") << hex("fffa2c6500002580fff0") << QByteArray() << "250 44 6500002580";
    QTest::newRow("0xFF doubled in a subnegotiation") << hex("fffa2c65000000fffffff0") << QByteArray()
                                                      << "250 44 65000000ff";
    QTest::newRow("a refusal of the COM port option") << hex("fffc2c") << QByteArray() << "252 44 ";
    QTest::newRow("NOP and others are dropped") << hex("41fff142fff943") << QByteArray("ABC") << "";
}

void TestTelnet::decode()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, data);
    QFETCH(QString, commands);
    // Whole, and one byte per read: the same result.
    for (const bool split : {false, true}) {
        TelnetComPort codec;
        QList<TelnetComPort::Command> got;
        QByteArray out;
        if (split) {
            for (char c : received)
                out += codec.decode(QByteArrayView(&c, 1), &got);
        } else {
            out = codec.decode(received, &got);
        }
        QCOMPARE(out.toHex(), data.toHex());
        QCOMPARE(describe(got), commands);
    }
}

void TestTelnet::answers_data()
{
    QTest::addColumn<quint8>("verb");
    QTest::addColumn<quint8>("option");
    QTest::addColumn<QByteArray>("answer");
    using T = TelnetComPort;
    QTest::newRow("DO binary: already offered") << quint8(T::DO) << quint8(T::Binary) << QByteArray();
    QTest::newRow("DO COM port: already offered") << quint8(T::DO) << quint8(T::ComPort) << QByteArray();
    QTest::newRow("DO echo: refused") << quint8(T::DO) << quint8(1) << hex("fffc01");
    QTest::newRow("WILL binary: asked for") << quint8(T::WILL) << quint8(T::Binary) << QByteArray();
    QTest::newRow("WILL echo: refused") << quint8(T::WILL) << quint8(1) << hex("fffe01");
    QTest::newRow("WONT: nothing to say") << quint8(T::WONT) << quint8(T::ComPort) << QByteArray();
}

void TestTelnet::answers()
{
    QFETCH(quint8, verb);
    QFETCH(quint8, option);
    QFETCH(QByteArray, answer);
    const TelnetComPort::Command request{verb, option, {}};
    QCOMPARE(TelnetComPort::answer(request).toHex(), answer.toHex());
    QCOMPARE(TelnetComPort::refusesComPort(request),
             option == TelnetComPort::ComPort && (verb == TelnetComPort::WONT || verb == TelnetComPort::DONT));
}

QTEST_GUILESS_MAIN(TestTelnet)
#include "tst_telnet.moc"
