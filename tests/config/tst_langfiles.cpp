#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"

#include <QFile>
#include <QSet>
#include <QtTest>

namespace {

struct KeyRange
{
    const char *section;
    const char *prefix;
    int first;
    int last;
    int digits;
};

// Every key the program reads.
const KeyRange kKeys[] = {
    {"frmStart", "Caption", 0, 5, 3},  {"frmStart", "Mes", 1, 1, 3},
    {"MDIFormMain", "Title", 1, 1, 3}, {"MDIFormMain", "Cap", 1, 19, 3},
    {"FrmCmd", "Title", 1, 1, 3},      {"FrmProg", "Mes", 1, 6, 3},
    {"dlgData", "Title", 1, 1, 3},     {"dlgData", "Cap", 1, 3, 3},
    {"dlgData", "Mes", 1, 6, 3},       {"dlgComSetup", "Title", 1, 1, 3},
    {"dlgComSetup", "Cap", 1, 12, 3},  {"dlgExe", "Title", 1, 1, 3},
    {"dlgExe", "Cap", 1, 4, 3},        {"dlgDown", "Title", 1, 1, 3},
    {"dlgDown", "Cap", 1, 5, 3},       {"dlgDown", "Mes", 1, 4, 3},
    {"dlgUP", "Title", 1, 1, 3},       {"dlgUP", "Cap", 1, 4, 3},
    {"WaitLabel", "Mes", 1, 2, 3},     {"MsgBox", "Mes", 0, 21, 3},
    {"MsgBox", "Mes", 50, 55, 3},      {"Tool", "Mes", 0, 17, 3},
    {"Tool", "Mes", 101, 103, 3},      {"Tool", "Mes", 105, 109, 3},
    {"Tool", "Mes", 111, 113, 3},      {"Tool", "Mes", 116, 117, 3},
    {"Tool", "Mes", 203, 203, 3},      {"Tool", "Mes", 211, 213, 3},
    {"MDIFormMain", "Cap", 30, 30, 3}, {"MsgBox", "Mes", 60, 61, 3},
    {"Tool", "Mes", 900, 900, 3},
    {"MDIFormMain", "Cap", 20, 24, 3}, {"MsgBox", "Mes", 56, 58, 3},
    {"MDIFormMain", "Cap", 40, 44, 3}, {"MDIFormMain", "Cap", 50, 52, 3}, {"MsgBox", "Mes", 62, 62, 3},
    {"MsgBox", "Mes", 70, 86, 3},      {"FrmProg", "Mes", 7, 7, 3},
    {"PortProblem", "Mes", 1, 22, 3},   {"dlgExe", "Mes", 1, 2, 3},
    {"LinkLog", "Cap", 1, 4, 3},       {"LinkLog", "Mes", 1, 1, 3},
    {"dlgComSetup", "Mes", 1, 14, 3},
    {"MDIFormMain", "Cap", 25, 25, 3}, {"Controller", "Title", 1, 1, 3},
    {"Controller", "Cap", 1, 12, 3},  {"Controller", "Mes", 1, 21, 3},
    {"Compare", "Title", 1, 1, 3},     {"Compare", "Cap", 1, 4, 3},
    {"Compare", "Mes", 1, 2, 3},       {"dlgDown", "Cap", 6, 6, 3},
    {"dlgDown", "Mes", 5, 7, 3},       {"ProblemsPanel", "Title", 1, 1, 3},
    {"ProblemsPanel", "Cap", 1, 3, 3}, {"ProblemsPanel", "Mes", 1, 2, 3},
    {"Backup", "Mes", 1, 18, 3},       {"MDIFormMain", "Cap", 26, 29, 3},
    {"Print", "Mes", 1, 7, 3},       {"Problems", "Mes", 1, 8, 3},
    {"Preview", "Title", 1, 2, 3},     {"Preview", "Cap", 1, 23, 3},
    {"Preview", "Mes", 1, 15, 3},      {"Preview", "Mod", 1, 12, 3},
};

} // namespace

class TestLangFiles : public QObject
{
    Q_OBJECT

private slots:
    void files_data();
    void encodingAndLineEnds_data() { files_data(); }
    void encodingAndLineEnds();
    void everyKeyPresent_data() { files_data(); }
    void everyKeyPresent();
    void commandNames_data() { files_data(); }
    void commandNames();
    void captionAndUnitLists_data() { files_data(); }
    void captionAndUnitLists();
};

void TestLangFiles::files_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("LANG0.DAT") << QStringLiteral(VELOMAT_LANG_DIR "/LANG0.DAT");
    QTest::newRow("LANG1.DAT") << QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT");
}

void TestLangFiles::encodingAndLineEnds()
{
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.endsWith("\r\n"));
    // Every LF is preceded by CR and every CR followed by LF.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\n')
            QVERIFY2(i > 0 && bytes.at(i - 1) == '\r', "LF without CR");
        if (bytes.at(i) == '\r')
            QVERIFY2(i + 1 < bytes.size() && bytes.at(i + 1) == '\n', "CR without LF");
    }
    const QString text = TextCodec::decode(bytes);
    QVERIFY2(!text.contains(QChar::ReplacementCharacter), "not valid code page 932");
    QCOMPARE(TextCodec::encode(text), bytes);
    // No text may hold "|": the catalogue's rows are split at it.
    QVERIFY(!text.contains(u'|'));
}

void TestLangFiles::everyKeyPresent()
{
    QFETCH(QString, path);
    const clsIniFile ini(path);
    const QString missing = QStringLiteral("<missing>");
    for (const KeyRange &r : kKeys) {
        for (int n = r.first; n <= r.last; ++n) {
            const QString key = QStringLiteral("%1%2").arg(QLatin1String(r.prefix))
                                    .arg(n, r.digits, 10, QChar(u'0'));
            const QString value = ini.GetINIStr(QLatin1String(r.section), key, missing);
            QVERIFY2(value != missing && !value.isEmpty(),
                     qPrintable(QStringLiteral("[%1] %2").arg(QLatin1String(r.section), key)));
        }
    }
}

void TestLangFiles::commandNames()
{
    QFETCH(QString, path);
    const clsIniFile ini(path);
    Catalogue catalogue;
    catalogue.buildCatalogue(ini);
    QSet<QString> names;
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        const QString name = catalogue.name(cmd);
        QVERIFY2(!name.isEmpty(), qPrintable(QString::number(cmd)));
        QVERIFY(!name.contains(u',') && !name.contains(u'\r') && !name.contains(u'|'));
        QVERIFY2(!names.contains(name), qPrintable(name));
        names.insert(name);
        // The name must come back to the same command.
        QCOMPARE(catalogue.commandByName(name), cmd);
        // Short enough for the grid's text column.
        QVERIFY2(name.size() <= 14, qPrintable(name));
    }
}

void TestLangFiles::captionAndUnitLists()
{
    QFETCH(QString, path);
    const clsIniFile ini(path);
    Catalogue catalogue;
    catalogue.buildCatalogue(ini);
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        const int n = catalogue.paramCount(cmd);
        const QStringList captions = catalogue.list(cmd, Catalogue::Captions);
        QCOMPARE(captions.size(), n);
        for (const QString &caption : captions)
            QVERIFY2(!caption.trimmed().isEmpty(), qPrintable(catalogue.mnemonic(cmd)));
        const QStringList units = catalogue.list(cmd, Catalogue::Units);
        QVERIFY2(units.isEmpty() || units.size() == n, qPrintable(catalogue.mnemonic(cmd)));
    }
}

QTEST_GUILESS_MAIN(TestLangFiles)
#include "tst_langfiles.moc"
