// Replays the fuzz target's seed corpus through the same checks, so that the
// properties the fuzzer guards are also kept by every ordinary test run.

#include "initext_check.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestFuzzSeeds : public QObject
{
    Q_OBJECT

private slots:
    void seedsKeepEveryProperty()
    {
        const QDir corpus(QStringLiteral(TREVLIN_SOURCE_DIR "/fuzz/corpus"));
        const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY2(names.size() >= 10, "the seed corpus is missing");
        for (const QString &name : names) {
            QFile file(corpus.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString problem = checkIniInput(file.readAll());
            QVERIFY2(problem.isEmpty(), qPrintable(name + ": " + problem));
        }
    }
};

QTEST_APPLESS_MAIN(TestFuzzSeeds)
#include "tst_settings_fuzzseeds.moc"
