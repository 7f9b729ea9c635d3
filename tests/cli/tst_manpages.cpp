#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

// The manual pages in packaging/man kept in step with the programs: the
// options a program takes are exactly the options the OPTIONS section of
// its page lists, and velomat-cli's commands exactly the COMMANDS section's.
// The bash completion of velomat-cli offers every one of them too.
class TestManPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void options_data();
    void options();
    void cliCommands();
    void cliCompletion();

private:
    QString sourceFile(const QString &path) const;
    QString help(const QString &program) const;

    QString m_binDir;
};

namespace {

using Words = QSet<QString>;

// "--name" or "-x" where an option starts: at the start, after a blank,
// after "[", "(", "," or "|".
Words optionTokens(const QString &text)
{
    static const QRegularExpression option(QStringLiteral(R"((?:^|[\s\[(,|])(--?[A-Za-z][A-Za-z0-9-]*))"));
    Words words;
    for (const QRegularExpressionMatch &m : option.globalMatch(text))
        words.insert(m.captured(1));
    return words;
}

// A troff line as plain text: no font changes, "\-" as "-", no quotes and
// no request name in front.
QString plainTroff(QString line)
{
    static const QRegularExpression font(QStringLiteral(R"(\\f(?:\(..|\[[^]]*\]|.))"));
    static const QRegularExpression request(QStringLiteral(R"(^\.[A-Za-z]+\s*)"));
    line.remove(font);
    line.replace(QLatin1String("\\-"), QLatin1String("-"));
    line.remove(u'"');
    line.remove(request);
    return line.trimmed();
}

// The tags of the tagged paragraphs (.TP, the line after it) of one
// section (.SH NAME) of a page, as plain text.
QStringList sectionTags(const QString &page, const QString &section)
{
    QStringList tags;
    bool inSection = false;
    bool tagNext = false;
    for (const QString &line : page.split(u'\n')) {
        if (line.startsWith(QLatin1String(".SH"))) {
            inSection = plainTroff(line) == section;
            tagNext = false;
            continue;
        }
        if (!inSection)
            continue;
        if (tagNext) {
            tags << plainTroff(line);
            tagNext = false;
        } else if (line == QLatin1String(".TP") || line.startsWith(QLatin1String(".TP "))) {
            tagNext = true;
        }
    }
    return tags;
}

Words documentedOptions(const QString &page)
{
    Words words;
    for (const QString &tag : sectionTags(page, QStringLiteral("OPTIONS")))
        words.unite(optionTokens(tag));
    return words;
}

// The "Commands:" part of velomat-cli --help: "  check FILE...",
// "  run, stop  ..."; lines that go on a description are indented further.
Words helpCommands(const QString &help)
{
    const qsizetype from = help.indexOf(QLatin1String("\nCommands:\n"));
    const qsizetype to = help.indexOf(QLatin1String("\nOptions:\n"));
    if (from < 0 || to < from)
        return {};
    static const QRegularExpression entry(QStringLiteral(R"(^  ([a-z][a-z-]*(?:, [a-z][a-z-]*)*)(?=\s|$))"),
                                          QRegularExpression::MultilineOption);
    Words words;
    for (const QRegularExpressionMatch &m : entry.globalMatch(help.mid(from, to - from))) {
        for (const QString &word : m.captured(1).split(QLatin1String(", ")))
            words.insert(word);
    }
    return words;
}

QString describe(const Words &words)
{
    QStringList list(words.cbegin(), words.cend());
    list.sort();
    return list.join(u' ');
}

// Both ways: what only the program has and what only the page has.
QByteArray difference(const Words &program, const Words &page, const QString &pageName)
{
    return QStringLiteral("missing from %1: %2; in %1 but not taken by the program: %3")
        .arg(pageName, describe(Words(program).subtract(page)), describe(Words(page).subtract(program)))
        .toLocal8Bit();
}

} // namespace

void TestManPages::initTestCase()
{
    m_binDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/");
    for (const char *program : {"velomat-cli", "velomat-sim"})
        QVERIFY2(QFileInfo::exists(m_binDir + QLatin1String(program)), program);
}

QString TestManPages::sourceFile(const QString &path) const
{
    QFile file(QStringLiteral(VELOMAT_SOURCE_DIR "/") + path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString TestManPages::help(const QString &program) const
{
    QProcess process;
    process.start(m_binDir + program, {QStringLiteral("--help")});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

void TestManPages::options_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("notDocumented");

    // Qt's help option adds --help-all to the list, which the simulator
    // does not answer; the page leaves it out.
    QTest::newRow("velomat-cli") << QStringLiteral("velomat-cli") << QStringList();
    QTest::newRow("velomat-sim") << QStringLiteral("velomat-sim") << QStringList{"--help-all"};
    QTest::newRow("velomat") << QStringLiteral("velomat") << QStringList();
}

void TestManPages::options()
{
    QFETCH(QString, program);
    QFETCH(QStringList, notDocumented);

    Words taken;
    if (program == QLatin1String("velomat")) {
        // The editor has no --help: its options are the ones main() reads
        // (the rest of its command line chooses the language).
        const QString main = sourceFile(QStringLiteral("src/app/main.cpp"));
        QVERIFY(!main.isEmpty());
        static const QRegularExpression literal(QStringLiteral(R"re("(--?[a-z][a-z0-9-]*)")re"));
        for (const QRegularExpressionMatch &m : literal.globalMatch(main))
            taken.insert(m.captured(1));
    } else {
        const QString text = help(program);
        QVERIFY2(!text.isEmpty(), qPrintable(program + QStringLiteral(" --help failed")));
        taken = optionTokens(text);
    }
    for (const QString &option : notDocumented)
        taken.remove(option);
    // Every program answers --version; without it the reading went wrong.
    QVERIFY2(taken.contains(QStringLiteral("--version")), qPrintable(describe(taken)));

    const QString pageName = QStringLiteral("packaging/man/%1.1").arg(program);
    const QString page = sourceFile(pageName);
    QVERIFY2(!page.isEmpty(), qPrintable(pageName));
    const Words documented = documentedOptions(page);
    QVERIFY2(documented == taken, difference(taken, documented, pageName).constData());
}

void TestManPages::cliCommands()
{
    const Words commands = helpCommands(help(QStringLiteral("velomat-cli")));
    QVERIFY2(commands.contains(QStringLiteral("check")) && commands.contains(QStringLiteral("download")),
             qPrintable(describe(commands)));

    const QString pageName = QStringLiteral("packaging/man/velomat-cli.1");
    Words documented;
    for (const QString &tag : sectionTags(sourceFile(pageName), QStringLiteral("COMMANDS")))
        documented.insert(tag.section(u' ', 0, 0));
    QVERIFY2(documented == commands, difference(commands, documented, pageName).constData());
}

void TestManPages::cliCompletion()
{
    const QString text = help(QStringLiteral("velomat-cli"));
    const Words words = helpCommands(text) + optionTokens(text);
    QVERIFY(words.size() > 10);

    const QString script = sourceFile(QStringLiteral("packaging/bash-completion/velomat-cli"));
    QVERIFY(!script.isEmpty());
    Words missing;
    for (const QString &word : words) {
        const QRegularExpression whole(QStringLiteral(R"((?<![\w-])%1(?![\w-]))")
                                           .arg(QRegularExpression::escape(word)));
        if (!script.contains(whole))
            missing.insert(word);
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("not offered by packaging/bash-completion/velomat-cli: ")
                        + describe(missing)));
}

QTEST_GUILESS_MAIN(TestManPages)
#include "tst_manpages.moc"
