// Stand-in for the programs Trevlin starts: writes each argument it received on
// a line of its own to $TREVLIN_RECORDER_OUT (default: recorder.out beside the
// program), appending, then exits 0.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QDir>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString out = qEnvironmentVariable("TREVLIN_RECORDER_OUT");
    if (out.isEmpty())
        out = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteDir().filePath(QStringLiteral("recorder.out"));
    QFile file(out);
    if (!file.open(QIODevice::Append))
        return 2;
    QByteArray text = "BEGIN\n";
    for (int i = 1; i < argc; ++i)
        text += QByteArray(argv[i]) + '\n';
    text += "END\n";
    file.write(text);
    return 0;
}
