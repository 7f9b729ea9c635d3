#include "config/TextCodec.h"
#include "sim/SimController.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

// The simulated controller as the host sees it: a real serial port on the
// simulator's device, closed and reopened before every command.
class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void exchanges_data();
    void exchanges();
    void roundTrip_data();
    void roundTrip();
    void lineEnds_data();
    void lineEnds();
    void pacing_data();
    void pacing();
    void lateLf_data();
    void lateLf();
    void delayedReply_data();
    void delayedReply();
    void storeKeepsChannels();
    void pullCableFailsThePort();

private:
    void startSim(const SimOptions &options = {});
    // Opens the port afresh, sends the command with the terminator and waits
    // until the simulator has handled it.
    bool send(const QByteArray &command, const QByteArray &terminator = "\r\n");
    // The reply line without its line end; kSilence when nothing came
    // within the time, the partial text when the line end did not come.
    QByteArray readReply(int timeoutMs, int *reads = nullptr);
    QByteArray exchange(const QByteArray &command, int timeoutMs = 2000);
    // Adds what arrives to `data` until `done` holds, without the pauses of
    // qWaitFor that would hold up the in-process simulator's timers.
    bool readUntil(QByteArray *data, const std::function<bool()> &done, int timeoutMs = 2000);

    std::unique_ptr<SimController> m_sim;
    QSerialPort m_port;
    QByteArray m_eol = "\r\n";
};

using Exchange = QPair<QByteArray, QByteArray>; // command, expected reply

namespace {

const QByteArray kAck = "\x06";
const QByteArray kSilence = "(silence)";
// How long a reply that must not come is waited for.
constexpr int kSilenceMs = 150;
// How much later than the simulator sent it a busy machine may let the test
// see a byte: the gap it measures between two bytes shrinks by that much.
constexpr int kSeenLateMs = 10;

} // namespace

void TestSim::cleanup()
{
    m_port.close();
    m_sim.reset();
    m_eol = "\r\n";
}

void TestSim::startSim(const SimOptions &options)
{
    m_sim = std::make_unique<SimController>(options);
    m_eol = options.eol;
    QString error;
    QVERIFY2(m_sim->start(&error), qPrintable(error));
    QVERIFY(!m_sim->devicePath().isEmpty());
}

bool TestSim::send(const QByteArray &command, const QByteArray &terminator)
{
    m_port.close();
    m_port.setPortName(m_sim->devicePath());
    if (!m_port.open(QIODevice::ReadWrite)) {
        qWarning() << "cannot open" << m_port.portName() << m_port.errorString();
        return false;
    }
    QSignalSpy received(m_sim.get(), &SimController::commandReceived);
    m_port.write(command + terminator);
    return received.wait(2000);
}

QByteArray TestSim::readReply(int timeoutMs, int *reads)
{
    QByteArray data;
    int count = 0;
    qsizetype seen = 0;
    readUntil(
        &data,
        [&] {
            if (data.size() > seen) {
                seen = data.size();
                ++count;
            }
            return data.endsWith(m_eol);
        },
        timeoutMs);
    if (reads)
        *reads = count;
    if (data.isEmpty())
        return kSilence;
    return data.endsWith(m_eol) ? data.chopped(m_eol.size()) : data;
}

QByteArray TestSim::exchange(const QByteArray &command, int timeoutMs)
{
    if (!send(command))
        return "(not received: " + command + ')';
    return readReply(timeoutMs);
}

bool TestSim::readUntil(QByteArray *data, const std::function<bool()> &done, int timeoutMs)
{
    QSignalSpy ready(&m_port, &QIODevice::readyRead);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        *data += m_port.readAll();
        if (done())
            return true;
        if (clock.elapsed() >= timeoutMs)
            return false;
        ready.wait(int(timeoutMs - clock.elapsed()));
    }
}

void TestSim::exchanges_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("channel3");
    QTest::addColumn<QList<Exchange>>("script");
    QTest::addColumn<int>("running");

    const QStringList three = {"H:A", "W:10", "U00:"};

    QTest::newRow("attention") << QStringList() << QStringList()
                               << QList<Exchange>{{"?:", "OK"}} << 0;
    QTest::newRow("channel info: empty, stored, outside 01..15")
        << QStringList() << QStringList(5, "H:A")
        << QList<Exchange>{{"CHINF:01", "N"}, {"CHINF:03", "L005"}, {"CHINF:00", "!3"},
                           {"CHINF:16", "!3"}, {"CHINF:", "!3"}}
        << 0;
    QTest::newRow("load of a channel outside 01..15 and 99")
        << QStringList() << QStringList()
        << QList<Exchange>{{"LOAD:16", "!3"}, {"LOAD:00", "!3"}, {"LOAD:99", kAck}} << 0;
    QTest::newRow("step, PGWRT:, NG: and empty line outside their modes")
        << QStringList() << QStringList()
        << QList<Exchange>{{"AGO:A1000", "!1"}, {"PGWRT:", "!1"}, {"NG:", "!1"}, {"", "!1"}}
        << 0;
    QTest::newRow("unknown commands") << QStringList() << QStringList()
                                      << QList<Exchange>{{"XYZ:", "!1"}, {"HELLO", "!1"}, {"?", "!1"}}
                                      << 0;
    QTest::newRow("PGWRT: after the run-control load")
        << QStringList() << QStringList()
        << QList<Exchange>{{"LOAD:99", kAck}, {"PGWRT:", "!1"}} << 0;
    QTest::newRow("malformed steps refused, the good one kept")
        << QStringList() << QStringList()
        << QList<Exchange>{{"LOAD:01", kAck},       {"AGO:A1x", "!1"},         {"AGO:Z1", "!1"},
                           {"XYZ:1", "!1"},         {"AGO:A123456789", "!1"}, {"#:a,b", "!1"},
                           {"H:A|H:B|H:C|H:A", "!1"}, {"", "!1"},             {"H:A", kAck},
                           {"PGWRT:", kAck},        {"CHINF:01", "L001"}}
        << 0;
    QTest::newRow("?: and CHINF: keep a download, REMOTE: ends it")
        << QStringList() << QStringList()
        << QList<Exchange>{{"LOAD:01", kAck}, {"H:A", kAck},   {"?:", "OK"},
                           {"CHINF:01", "N"}, {"H:A", kAck},   {"REMOTE:", kAck},
                           {"H:A", "!1"},     {"PGWRT:", "!1"}, {"CHINF:01", "N"}}
        << 0;
    QList<Exchange> full{{"LOAD:02", kAck}};
    for (int i = 0; i < SimController::kMaxSteps; ++i)
        full << Exchange{"H:A", kAck};
    full << Exchange{"H:A", "!4"} << Exchange{"PGWRT:", kAck} << Exchange{"CHINF:02", "L200"};
    QTest::newRow("step 201 refused") << QStringList() << QStringList() << full << 0;
    QTest::newRow("run answers nothing")
        << QStringList() << QStringList()
        << QList<Exchange>{{"LOAD:99", kAck}, {"Z:04", kSilence}, {"?:", "OK"}} << 4;
    QTest::newRow("stop answers nothing")
        << QStringList() << QStringList()
        << QList<Exchange>{{"Z:04", kSilence}, {"LOAD:99", kAck}, {"U07:", kSilence}} << 0;
    QTest::newRow("upload: acknowledgements, NG:, the end line")
        << QStringList() << three
        << QList<Exchange>{{"UPLOAD:03", "H:A"}, {"", "W:+00000010"}, {"NG:", kAck},
                           {"", "!1"},           {"UPLOAD:03", "H:A"}, {"", "W:+00000010"},
                           {"", "U00:"},         {"", ""},             {"", "!1"}}
        << 0;
    QTest::newRow("upload: another command ends it")
        << QStringList() << three
        << QList<Exchange>{{"UPLOAD:03", "H:A"}, {"?:", "OK"}, {"", "!1"}} << 0;
    QTest::newRow("upload: empty channel, channel outside 01..15")
        << QStringList() << QStringList()
        << QList<Exchange>{{"UPLOAD:05", ""}, {"UPLOAD:16", "!3"}} << 0;
    QTest::newRow("upload: a stored text that is no step goes out unchanged")
        << QStringList() << QStringList{"junk"}
        << QList<Exchange>{{"UPLOAD:03", "junk"}, {"", ""}} << 0;
    QTest::newRow("fault: error reply at every CHINF:")
        << QStringList{"fail CHINF=!5"} << QStringList()
        << QList<Exchange>{{"CHINF:01", "!5"}, {"CHINF:01", "!5"}, {"?:", "OK"}} << 0;
    QTest::newRow("fault: error reply at the second ?:")
        << QStringList{"fail ?:#2=!7"} << QStringList()
        << QList<Exchange>{{"?:", "OK"}, {"?:", "!7"}, {"?:", "OK"}} << 0;
    QTest::newRow("fault: a faulted LOAD: starts no download")
        << QStringList{"fail LOAD=!5"} << QStringList()
        << QList<Exchange>{{"LOAD:01", "!5"}, {"H:A", "!1"}} << 0;
    QTest::newRow("fault: silence at CHINF:")
        << QStringList{"silent CHINF"} << QStringList()
        << QList<Exchange>{{"CHINF:01", kSilence}, {"?:", "OK"}} << 0;
    QTest::newRow("fault: silence at the second acknowledgement")
        << QStringList{"silent EMPTY#2"} << three
        << QList<Exchange>{{"UPLOAD:03", "H:A"}, {"", "W:+00000010"}, {"", kSilence}, {"", "U00:"}}
        << 0;
    QTest::newRow("fault: error reply at step 1, the step not kept")
        << QStringList{"fail-step 1=!6"} << QStringList()
        << QList<Exchange>{{"LOAD:01", kAck}, {"H:A", kAck},  {"W:1", "!6"},
                           {"H:B", kAck},     {"PGWRT:", kAck}, {"CHINF:01", "L002"}}
        << 0;
    QTest::newRow("fault: silence at step 0")
        << QStringList{"silent-step 0"} << QStringList()
        << QList<Exchange>{{"LOAD:01", kAck}, {"H:A", kSilence}, {"H:A", kAck}} << 0;
}

void TestSim::exchanges()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, channel3);
    QFETCH(QList<Exchange>, script);
    QFETCH(int, running);

    SimOptions options;
    for (const QString &fault : faults) {
        QString error;
        const auto parsed = SimFault::fromOption(fault.section(u' ', 0, 0), fault.section(u' ', 1), &error);
        QVERIFY2(parsed, qPrintable(error));
        options.faults << *parsed;
    }
    startSim(options);
    m_sim->setProgram(3, channel3);

    for (qsizetype i = 0; i < script.size(); ++i) {
        const auto &[command, expected] = script.at(i);
        const QByteArray reply = exchange(command, expected == kSilence ? kSilenceMs : 2000);
        QVERIFY2(reply == expected, qPrintable(QStringLiteral("command %1 (%2): %3, expected %4")
                                                   .arg(i)
                                                   .arg(QString::fromLatin1(command.toPercentEncoding()),
                                                        QString::fromLatin1(reply.toPercentEncoding()),
                                                        QString::fromLatin1(expected.toPercentEncoding()))));
    }
    QCOMPARE(m_sim->commands().size(), script.size());
    QCOMPARE(m_sim->runningChannel(), running);
}

void TestSim::roundTrip_data()
{
    QTest::addColumn<QByteArray>("step");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("AGO:") << QByteArray("AGO:A1000") << QByteArray("AGO:A+00001000");
    QTest::newRow("BGO: negative") << QByteArray("BGO:B-5") << QByteArray("BGO:B-00000005");
    QTest::newRow("MGO: zero") << QByteArray("MGO:C0") << QByteArray("MGO:C+00000000");
    QTest::newRow("H:") << QByteArray("H:A") << QByteArray("H:A");
    QTest::newRow("P: axis parameter") << QByteArray("P:11B-00001234") << QByteArray("P:11B-00001234");
    QTest::newRow("P: short axis value") << QByteArray("P:04A05") << QByteArray("P:04A+00000005");
    QTest::newRow("P: general parameter") << QByteArray("P:60,1") << QByteArray("P:60,+00000001");
    QTest::newRow("P:53") << QByteArray("P:53,1,0,1,1") << QByteArray("P:53,1,0,1,1");
    QTest::newRow("D:") << QByteArray("D:A100,5000,200") << QByteArray("D:A+0000100,+0005000,+00200");
    QTest::newRow("R:") << QByteArray("R:A-5") << QByteArray("R:A-00000005");
    QTest::newRow("C:") << QByteArray("C:0120") << QByteArray("C:0120");
    QTest::newRow("S:") << QByteArray("S:A05") << QByteArray("S:A05");
    QTest::newRow("U00:") << QByteArray("U00:") << QByteArray("U00:");
    QTest::newRow("U01:") << QByteArray("U01:05") << QByteArray("U01:0005");
    QTest::newRow("U02:") << QByteArray("U02:B,1,07") << QByteArray("U02:B,1,07");
    QTest::newRow("U02: a target past step 99") << QByteArray("U02:A,0,150") << QByteArray("U02:A,0,150");
    QTest::newRow("U03:") << QByteArray("U03:03,100") << QByteArray("U03:+003,+00000100");
    QTest::newRow("U04:") << QByteArray("U04:") << QByteArray("U04:");
    QTest::newRow("U99:") << QByteArray("U99:") << QByteArray("U99:");
    QTest::newRow("W:") << QByteArray("W:10") << QByteArray("W:+00000010");
    QTest::newRow("#: colon and code page 932 bytes")
        << QByteArray("#:A:\x83\x65\x83\x58\x83\x67 \xb1") << QByteArray("#:A:\x83\x65\x83\x58\x83\x67 \xb1");
    QTest::newRow("three axes") << QByteArray("AGO:A1000|AGO:B-500|AGO:C0")
                                << QByteArray("AGO:A+00001000|AGO:B-00000500|AGO:C+00000000");
    QTest::newRow("two axes, mixed") << QByteArray("D:A1000,5000,100|U00:")
                                     << QByteArray("D:A+0001000,+0005000,+00100|U00:");
}

// A download followed by an upload gives back the program: the stored texts
// as sent, the upload lines in the controller's fixed-width form.
void TestSim::roundTrip()
{
    QFETCH(QByteArray, step);
    QFETCH(QByteArray, line);

    startSim();
    const QList<Exchange> script = {{"LOAD:02", kAck}, {step, kAck},   {"PGWRT:", kAck},
                                    {"REMOTE:", kAck}, {"CHINF:02", "L001"},
                                    {"UPLOAD:02", line}, {"", ""}};
    for (const auto &[command, expected] : script)
        QCOMPARE(exchange(command), expected);
    QCOMPARE(m_sim->program(2), QStringList{TextCodec::decode(step)});
}

void TestSim::lineEnds_data()
{
    QTest::addColumn<QByteArray>("eol");
    QTest::addColumn<QByteArray>("terminator");

    QTest::newRow("CR replies, CR LF commands") << QByteArray("\r") << QByteArray("\r\n");
    QTest::newRow("LF replies, lone CR commands") << QByteArray("\n") << QByteArray("\r");
    QTest::newRow("CR LF replies, lone LF commands") << QByteArray("\r\n") << QByteArray("\n");
}

void TestSim::lineEnds()
{
    QFETCH(QByteArray, eol);
    QFETCH(QByteArray, terminator);

    SimOptions options;
    options.eol = eol;
    startSim(options);
    m_sim->setProgram(1, {"H:A"});

    const QList<Exchange> script = {{"?:", "OK"}, {"CHINF:01", "L001"}, {"UPLOAD:01", "H:A"}, {"", ""}};
    for (const auto &[command, expected] : script) {
        QVERIFY(send(command, terminator));
        QCOMPARE(readReply(2000), expected);
    }
    QCOMPARE(m_sim->commands(), QStringList({"?:", "CHINF:01", "UPLOAD:01", ""}));
}

void TestSim::pacing_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("chunkSize");
    QTest::addColumn<int>("minimumMs");
    QTest::addColumn<int>("minimumReads");

    // "L005" CR LF: six bytes.
    QTest::newRow("chunks of two bytes, 30 ms apart") << 0 << 2 << 55 << 3;
    // "CHINF:03" CR LF in, six bytes out: sixteen byte times of 33 ms.
    QTest::newRow("300 baud: the command in, then the reply") << 300 << 0 << 520 << 1;
}

void TestSim::pacing()
{
    QFETCH(int, baud);
    QFETCH(int, chunkSize);
    QFETCH(int, minimumMs);
    QFETCH(int, minimumReads);

    SimOptions options;
    options.baud = baud;
    options.chunkSize = chunkSize;
    options.chunkGapMs = 30;
    startSim(options);
    m_sim->setProgram(3, QStringList(5, "H:A"));

    QElapsedTimer clock;
    clock.start();
    QVERIFY(send("CHINF:03"));
    int reads = 0;
    QCOMPARE(readReply(3000, &reads), QByteArray("L005"));
    QVERIFY2(clock.elapsed() >= minimumMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(reads >= minimumReads, qPrintable(QString::number(reads)));
}

void TestSim::lateLf_data()
{
    QTest::addColumn<int>("lfDelayMs");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("chunkSize");
    QTest::addColumn<int>("chunkGapMs");
    QTest::addColumn<int>("minimumMs"); // from the CR to the LF

    QTest::newRow("LF 5 ms after the CR") << 5 << 0 << 0 << 0 << 5;
    QTest::newRow("LF 40 ms after the CR") << 40 << 0 << 0 << 0 << 40;
    QTest::newRow("LF 40 ms after the CR, 9600 baud") << 40 << 9600 << 0 << 0 << 40;
    QTest::newRow("LF 40 ms after the CR, chunks of two bytes") << 40 << 0 << 2 << 1 << 40;
    QTest::newRow("no LF delay, chunks of one byte 40 ms apart") << 0 << 0 << 1 << 40 << 40;
}

// The CR of "OK" arrives, the host sends its next command before the LF
// comes: the LF still arrives, late, and ahead of the next reply.
void TestSim::lateLf()
{
    QFETCH(int, lfDelayMs);
    QFETCH(int, baud);
    QFETCH(int, chunkSize);
    QFETCH(int, chunkGapMs);
    QFETCH(int, minimumMs);

    SimOptions options;
    options.lfDelayMs = lfDelayMs;
    options.baud = baud;
    options.chunkSize = chunkSize;
    options.chunkGapMs = chunkGapMs;
    startSim(options);

    QVERIFY(send("?:"));
    QByteArray first;
    QVERIFY(readUntil(&first, [&] { return first.contains('\r'); }));
    QElapsedTimer sinceCr;
    sinceCr.start();
    QCOMPARE(first, QByteArray("OK\r"));

    QVERIFY(send("CHINF:01"));
    QByteArray next;
    qint64 lfMs = -1;
    QVERIFY(readUntil(&next, [&] {
        if (lfMs < 0 && !next.isEmpty())
            lfMs = sinceCr.elapsed();
        return next.endsWith("N\r\n");
    }));
    QCOMPARE(next, QByteArray("\nN\r\n"));
    QVERIFY2(lfMs >= minimumMs - kSeenLateMs, qPrintable(QString::number(lfMs)));
}

void TestSim::delayedReply_data()
{
    QTest::addColumn<QString>("delay");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QList<Exchange>>("before");
    QTest::addColumn<Exchange>("delayed");
    QTest::addColumn<QStringList>("channel1"); // once the delayed command is taken
    QTest::addColumn<int>("minimumMs");

    QTest::newRow("PGWRT: written at once, its ACK 0.4 s later")
        << "PGWRT=400" << 0 << QList<Exchange>{{"LOAD:01", kAck}, {"H:A", kAck}}
        << Exchange{"PGWRT:", kAck} << QStringList{"H:A"} << 400;
    QTest::newRow("only the second ?:, 9600 baud")
        << "?#2=300" << 9600 << QList<Exchange>{{"?:", "OK"}} << Exchange{"?:", "OK"} << QStringList() << 300;
}

void TestSim::delayedReply()
{
    QFETCH(QString, delay);
    QFETCH(int, baud);
    QFETCH(QList<Exchange>, before);
    QFETCH(Exchange, delayed);
    QFETCH(QStringList, channel1);
    QFETCH(int, minimumMs);

    SimOptions options;
    options.baud = baud;
    QString error;
    const auto fault = SimFault::fromOption("delay", delay, &error);
    QVERIFY2(fault, qPrintable(error));
    options.faults << *fault;
    startSim(options);
    for (const auto &[command, expected] : before)
        QCOMPARE(exchange(command, 500), expected);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(send(delayed.first));
    QCOMPARE(m_sim->program(1), channel1);
    QCOMPARE(readReply(minimumMs + 2000), delayed.second);
    QVERIFY2(clock.elapsed() >= minimumMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(clock.elapsed() < minimumMs + 1000, qPrintable(QString::number(clock.elapsed())));
}

void TestSim::storeKeepsChannels()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimOptions options;
    options.storeFile = dir.filePath("channels.txt");
    const QByteArray comment = "#:\x83\x65\x83\x58\x83\x67";

    startSim(options);
    for (const QByteArray &command : {QByteArray("LOAD:07"), QByteArray("AGO:A1000|AGO:B-5"), comment})
        QCOMPARE(exchange(command), kAck);
    QCOMPARE(exchange("PGWRT:"), kAck);
    m_port.close();

    SimController again(options);
    QString error;
    QVERIFY2(again.start(&error), qPrintable(error));
    QCOMPARE(again.program(7), QStringList({"AGO:A1000|AGO:B-5", TextCodec::decode(comment)}));
    QVERIFY(again.program(1).isEmpty());
}

// A pulled USB adapter: the host's open port fails, and the device is gone.
void TestSim::pullCableFailsThePort()
{
    startSim();
    const QString device = m_sim->devicePath();
    QCOMPARE(exchange("?:"), QByteArray("OK"));
    QSignalSpy errors(&m_port, &QSerialPort::errorOccurred);

    m_sim->pullCable();
    QTRY_VERIFY(errors.contains(QVariantList{QVariant::fromValue(QSerialPort::ResourceError)}));
    m_port.close();
    QVERIFY(!m_port.open(QIODevice::ReadWrite));
    QVERIFY(m_sim->devicePath().isEmpty());
    QVERIFY(!QFile::exists(device));
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
