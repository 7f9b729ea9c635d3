#include "dlgComSetup.h"

#include "config/clsIniFile.h"
#include "link/LineValues.h"
#include "link/NetworkPort.h"
#include "link/NetworkTransport.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace {

QString section() { return QStringLiteral("dlgComSetup"); }

QPushButton *makeButton(const QString &caption, const char *name, const char *tag, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setProperty(clsIniFile::kTagProperty, QLatin1String(tag));
    return button;
}

} // namespace

dlgComSetup::dlgComSetup(ComSettings &settings, const clsIniFile &langIni, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_langIni(langIni)
{
    setObjectName(section());
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const ComRecord stored = m_settings.getComSettings();
    m_work = stored;
    m_work.port = 0;

    QGroupBox *port = makePortFrame();
    QGroupBox *bps = makeFrame(QStringLiteral("Cap002"), QString::fromUtf16(u"通信速度 [bps]"),
                               QStringLiteral("Bps"),
                               LineValues::words(LineValues::Parameter::Baud),
                               {}, &m_work.bps, m_optBps);
    QGroupBox *parity = makeFrame(QStringLiteral("Cap003"), QString::fromUtf16(u"ﾊﾟﾘﾃｨ"),
                                  QStringLiteral("Parity"),
                                  {QString::fromUtf16(u"なし"), QString::fromUtf16(u"偶数"),
                                   QString::fromUtf16(u"奇数")},
                                  {QStringLiteral("Cap004"), QStringLiteral("Cap005"),
                                   QStringLiteral("Cap006")},
                                  &m_work.parity, m_optParity);
    QGroupBox *data = makeFrame(QStringLiteral("Cap007"), QString::fromUtf16(u"ﾃﾞｰﾀ長 [bit]"),
                                QStringLiteral("Data"), LineValues::words(LineValues::Parameter::Data),
                                {}, &m_work.data, m_optData);
    QGroupBox *stop = makeFrame(QStringLiteral("Cap008"), QString::fromUtf16(u"ｽﾄｯﾌﾟﾋﾞｯﾄ長 [bit]"),
                                QStringLiteral("Stop"), LineValues::words(LineValues::Parameter::Stop),
                                {}, &m_work.stop, m_optStop);

    auto *comReset = makeButton(QString::fromUtf16(u"規定値へ戻す"), "comReset", "Cap009", this);
    auto *cmdOK = makeButton(QStringLiteral("OK"), "cmdOK", "Cap010", this);
    auto *cmdCancel = makeButton(QString::fromUtf16(u"ｷｬﾝｾﾙ"), "cmdCancel", "Cap011", this);
    cmdOK->setDefault(true);

    auto *line = new QGridLayout;
    line->addWidget(bps, 0, 0);
    line->addWidget(parity, 0, 1);
    line->addWidget(data, 1, 0);
    line->addWidget(stop, 1, 1);
    line->setRowStretch(2, 1);
    auto *frames = new QHBoxLayout;
    frames->addWidget(port, 1);
    frames->addLayout(line);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(comReset);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(buttons);

    connect(comReset, &QPushButton::clicked, this, &dlgComSetup::resetLineValues);
    connect(cmdOK, &QPushButton::clicked, this, &dlgComSetup::saveAndClose);
    connect(cmdCancel, &QPushButton::clicked, this, &dlgComSetup::reject);

    // Captions and title from the language file; the frames name their
    // option groups for assistive tools.
    langIni.CaptionChange(this);
    setWindowTitle(langIni.GetINIStr(section(), QStringLiteral("Title001")));
    for (QGroupBox *frame : {port, bps, parity, data, stop})
        frame->setAccessibleName(frame->title());

    // The stored choice, the port even when it cannot be opened now.
    if (stored.port != 0)
        select(m_optPort, stored.port);
    select(m_optBps, stored.bps);
    select(m_optParity, stored.parity);
    select(m_optData, stored.data);
    select(m_optStop, stored.stop);
    adjustSize();

    // Network ports are looked at all at once, in the background, with the
    // line settings shown; the chosen RFC 2217 port again when they change.
    for (int n = 1; n <= PortMap::kPortCount; ++n)
        probe(n);
    m_reprobe.setSingleShot(true);
    m_reprobe.setInterval(0);
    connect(&m_reprobe, &QTimer::timeout, this, &dlgComSetup::reprobeChosen);
    for (QButtonGroup *group : {m_optPort, m_optBps, m_optParity, m_optData, m_optStop})
        connect(group, &QButtonGroup::idToggled, &m_reprobe, [this](int, bool checked) {
            if (checked)
                m_reprobe.start();
        });
}

dlgComSetup::~dlgComSetup()
{
    // Before the language copy the probes read their words from goes.
    for (NetworkProbe *&probe : m_probes)
        delete std::exchange(probe, nullptr);
}

QGroupBox *dlgComSetup::makeFrame(const QString &tag, const QString &caption, const QString &name,
                                  const QStringList &captions, const QStringList &tags, int *field,
                                  QButtonGroup *&group)
{
    auto *frame = new QGroupBox(caption, this);
    frame->setProperty(clsIniFile::kTagProperty, tag);
    auto *options = new QVBoxLayout(frame);
    group = new QButtonGroup(frame);
    for (int i = 1; i <= captions.size(); ++i) {
        auto *opt = new QRadioButton(captions[i - 1], frame);
        opt->setObjectName(QStringLiteral("opt%1%2").arg(name).arg(i));
        if (i <= tags.size())
            opt->setProperty(clsIniFile::kTagProperty, tags[i - 1]);
        group->addButton(opt, i);
        options->addWidget(opt);
    }
    options->addStretch();
    connect(group, &QButtonGroup::idToggled, this, [field](int id, bool checked) {
        if (checked)
            *field = id;
    });
    return frame;
}

QGroupBox *dlgComSetup::makePortFrame()
{
    auto *frame = new QGroupBox(QString::fromUtf16(u"通信ﾎﾟｰﾄ番号"), this);
    frame->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap001"));
    auto *grid = new QGridLayout(frame);
    grid->setColumnStretch(1, 1);
    m_optPort = new QButtonGroup(frame);
    const PortMap &map = m_settings.portMap();
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        auto *opt = new QRadioButton(QStringLiteral("COM%1").arg(n), frame);
        opt->setObjectName(QStringLiteral("optPort%1").arg(n));
        opt->setEnabled(m_settings.isPortUsable(n));
        m_optPort->addButton(opt, n);

        // The device beside the option, and why it cannot be used: shown,
        // not only in the tooltip, so that the user sees what to fix.
        QString about = map.deviceText(n, &m_langIni);
        const QString problem = m_settings.portProblem(n);
        if (!m_settings.isPortUsable(n))
            about += QStringLiteral(": ") + (problem.isEmpty() ? QStringLiteral("cannot be opened") : problem);
        auto *label = new QLabel(about, frame);
        label->setObjectName(QStringLiteral("lblPort%1").arg(n));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A server's reason is long: wrapped, it keeps the dialog on the
        // screen.
        label->setWordWrap(true);
        label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 60);
        QString tip = about;
        const QString byId = map.deviceInfo(n).byId;
        if (!byId.isEmpty() && !about.contains(byId))
            tip += u'\n' + QLatin1String(PortMap::kByIdFolder) + u'/' + byId;
        opt->setToolTip(tip);
        opt->setAccessibleDescription(tip);
        label->setToolTip(tip);

        grid->addWidget(opt, n - 1, 0);
        grid->addWidget(label, n - 1, 1);
    }
    // The chosen port's adapter and stable name, the button that maps the
    // port to that name, and where the map is kept.
    m_lblIdentity = new QLabel(frame);
    m_lblIdentity->setObjectName(QStringLiteral("lblIdentity"));
    m_lblIdentity->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_cmdById = makeButton(QStringLiteral("Use the stable name"), "cmdById", "Cap012", frame);
    QString where = m_langIni.GetINIStr(section(), QStringLiteral("Mes006"));
    if (where.isEmpty())
        where = QStringLiteral("Port map: %1");
    auto *mapPath = new QLabel(where.arg(m_settings.portMapPath()), frame);
    mapPath->setObjectName(QStringLiteral("lblPortMap"));
    mapPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(m_lblIdentity, PortMap::kPortCount, 0, 1, 2);
    grid->addWidget(m_cmdById, PortMap::kPortCount + 1, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(mapPath, PortMap::kPortCount + 2, 0, 1, 2);
    connect(m_cmdById, &QPushButton::clicked, this, &dlgComSetup::useStableName);
    connect(m_optPort, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (!checked)
            return;
        m_work.port = id;
        showIdentity(id);
    });
    showIdentity(0);
    return frame;
}

void dlgComSetup::showIdentity(int port)
{
    const PortMap &map = m_settings.portMap();
    m_lblIdentity->setText(port ? map.identity(port, m_langIni).join(u'\n') : QString());
    const QString stable = map.deviceInfo(port).byIdPath;
    m_cmdById->setEnabled(port && !stable.isEmpty() && stable != map.device(port));
}

void dlgComSetup::useStableName()
{
    const int port = m_work.port;
    if (!m_settings.useStableName(port))
        return;
    if (auto *label = findChild<QLabel *>(QStringLiteral("lblPort%1").arg(port)))
        label->setText(m_settings.portMap().deviceText(port, &m_langIni));
    showIdentity(port);
}

void dlgComSetup::probe(int port)
{
    const QString device = m_settings.portMap().device(port);
    const std::optional<NetworkPort> network = NetworkPort::parse(device);
    if (!network || !m_settings.isPortUsable(port))
        return;
    delete std::exchange(m_probes[port - 1], nullptr);
    auto *probe = new NetworkProbe(&m_langIni, this);
    m_probes[port - 1] = probe;
    m_probedWith[port - 1] = ComSettings::line(device, m_work);
    showPortState(port, text(12, "checking..."));
    const bool raw = network->protocol == NetworkPort::Protocol::Raw;
    connect(probe, &NetworkProbe::finished, this, [this, port, probe, raw](bool ok, const QString &reason) {
        if (m_probes[port - 1] != probe)
            return;
        m_probes[port - 1] = nullptr;
        probe->deleteLater();
        if (!ok)
            showPortState(port, reason);
        else if (raw)
            showPortState(port, text(14, "connected (the line settings are those of the server)"));
        else
            showPortState(port, text(13, "connected"));
    });
    probe->start(m_probedWith[port - 1]);
}

void dlgComSetup::reprobeChosen()
{
    const int port = m_work.port;
    if (port < 1 || port > PortMap::kPortCount)
        return;
    const QString device = m_settings.portMap().device(port);
    const std::optional<NetworkPort> network = NetworkPort::parse(device);
    // A raw TCP server keeps its own line settings: nothing to look at anew.
    if (network && network->protocol == NetworkPort::Protocol::Rfc2217
        && ComSettings::line(device, m_work) != m_probedWith[port - 1])
        probe(port);
}

void dlgComSetup::showPortState(int port, const QString &state)
{
    const QString about = m_settings.portMap().deviceText(port, &m_langIni) + QStringLiteral(": ") + state;
    if (auto *label = findChild<QLabel *>(QStringLiteral("lblPort%1").arg(port))) {
        label->setText(about);
        label->setToolTip(about);
        // A longer state may take another line: the dialog grows to show it
        // whole, never shrinks under the user's hands.
        if (isVisible()) {
            layout()->activate();
            resize(size().expandedTo(sizeHint()));
        }
    }
    if (QAbstractButton *opt = m_optPort->button(port)) {
        opt->setToolTip(about);
        opt->setAccessibleDescription(about);
    }
}

QString dlgComSetup::text(int number, const char *english) const
{
    const QString words = m_langIni.GetINIStr(section(), clsIniFile::numberedKey(u"Mes", number));
    return words.isEmpty() ? QString::fromLatin1(english) : words;
}

void dlgComSetup::select(QButtonGroup *group, int index)
{
    if (QAbstractButton *button = group->button(index))
        button->setChecked(true);
}

void dlgComSetup::resetLineValues()
{
    // The line parameters only; the port choice stays.
    select(m_optBps, ComSettings::getDefaultParam(2));
    select(m_optParity, ComSettings::getDefaultParam(3));
    select(m_optData, ComSettings::getDefaultParam(4));
    select(m_optStop, ComSettings::getDefaultParam(5));
}

void dlgComSetup::saveAndClose()
{
    m_settings.setComSettings(m_work);
    m_settings.applyComSettings();
    accept();
}
