// The receive framing of the serial link: a reply stream fed in chunks,
// cut into lines at CR (no detection), or at the line end that the
// detection decides when armed, the line-end timer firing between chunks.
// Every byte received is accounted for: the lines handed on, each with the
// line end it was cut at, then what stays in the buffer, give the stream
// back.
//
// Input: byte 0 holds the flags (bit 0 armed, bit 1 upload dialog open),
// then chunks, each a length byte (0..63) and that many bytes.

#include "FuzzSupport.h"

#include "link/SerialLink.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace std::chrono_literals;

namespace {

QByteArray lineEnd(int kind)
{
    return kind == SerialLink::CrLf ? QByteArrayLiteral("\r\n")
           : kind == SerialLink::Lf ? QByteArrayLiteral("\n")
                                    : QByteArrayLiteral("\r");
}

bool waiting(const SerialLink &link)
{
    return link.crLfState() == SerialLink::Seen;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

// What the link keeps of the received bytes: cutting at a lone CR, it takes
// an LF right after that CR for the rest of the line end and drops it.
QByteArray kept(const SerialLink &link, QByteArray stream)
{
    const bool cutting = link.crLfState() == SerialLink::NeverArmed || link.crLfState() == SerialLink::Decided;
    if (cutting && link.eolKind() == SerialLink::Cr)
        stream.replace("\r\n", "\r");
    return stream;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool armed = data[0] & 1;
    const bool upOpen = data[0] & 2;

    SerialLine line; // no port: nothing is ever opened
    SerialLink link(line);
    link.intervals.crLf = 0ms;
    SerialLinkProbe::route(link, upOpen ? SerialLink::Route::Upload : SerialLink::Route::Replies);
    if (armed)
        SerialLinkProbe::arm(link);

    QByteArray cut; // the lines handed on, each with its line end
    int lines = 0;
    int decidedKind = -1;
    auto take = [&](const QByteArray &l, bool upload) {
        FUZZ_CHECK(upload == upOpen, "line went to the wrong receiver");
        const int state = link.crLfState();
        FUZZ_CHECK(!armed || state == SerialLink::Decided, QStringLiteral("line cut in state %1").arg(state));
        const int kind = link.eolKind();
        if (armed) {
            FUZZ_CHECK(decidedKind < 0 || decidedKind == kind, "line end changed after the decision");
            decidedKind = kind;
        } else {
            FUZZ_CHECK(kind == SerialLink::Cr, "line end other than CR without detection");
        }
        const QByteArray end = lineEnd(kind);
        FUZZ_CHECK(!l.contains(end), "a line holds its own line end");
        cut += l + end;
        ++lines;
    };
    QObject::connect(&link, &SerialLink::lineReceived, &link, [&](const QByteArray &l) { take(l, false); });
    QObject::connect(&link, &SerialLink::uploadLineReceived, &link, [&](const QByteArray &l) { take(l, true); });
    QByteArray logged;
    QObject::connect(&link, &SerialLink::traffic, &link, [&](const QByteArray &t, bool received) {
        FUZZ_CHECK(received, "something was sent");
        logged += t;
    });

    QByteArray stream;
    size_t i = 1;
    while (i < size) {
        const size_t len = std::min<size_t>(data[i] % 64, size - i - 1);
        ++i;
        const QByteArray chunk(reinterpret_cast<const char *>(data + i), qsizetype(len));
        i += len;
        stream += chunk;
        link.receiveText(chunk);
        FUZZ_CHECK(cut + link.rxBuffer() == kept(link, stream), "bytes lost or reordered");
        if (armed)
            QCoreApplication::processEvents();
    }
    // The line-end timer, started by the last chunk, is given its turn.
    for (int turn = 0; turn < 100 && waiting(link); ++turn)
        QCoreApplication::processEvents();
    FUZZ_CHECK(!waiting(link), "line-end timer never fired");

    FUZZ_CHECK(logged == stream, "traffic log differs from what was received");
    FUZZ_CHECK(cut + link.rxBuffer() == kept(link, stream), "bytes lost or reordered");
    if (link.crLfState() == SerialLink::Armed) {
        FUZZ_CHECK(lines == 0 && !stream.contains('\r') && !stream.contains('\n'),
                   "still armed after a line end");
    } else {
        FUZZ_CHECK(!link.rxBuffer().contains(lineEnd(link.eolKind())), "a whole line left in the buffer");
    }
    return 0;
}
