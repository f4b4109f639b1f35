// How long the hints window takes to show three text files as large as a
// page may read, against a bare window of three QPlainTextEdits given the
// same, already decoded texts; and how long a page takes to scroll.
//
//   bench_hints [rounds]          (default 5; prints medians in milliseconds)
//   bench_hints [rounds] worst    three files a page must cut down: one line;
//                                 nothing but line breaks; lines just short of
//                                 being broken. Prints the window's time and
//                                 the process's peak memory.

#include "platform/application.h"
#include "platform/forms.h"
#include "settings/textcodec.h"
#include "windows/frmopdicas.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Just under the 4 MiB a page reads.
constexpr qsizetype FileSize = 4 * 1024 * 1024 - 1024;

// FileSize bytes of text with lines of 40 to 120 characters; `accent` is the
// encoded "ç€" of the file's encoding (empty for plain ASCII).
QByteArray makeText(const QByteArray &accent, bool crlf)
{
    QByteArray text;
    text.reserve(FileSize + 256);
    quint32 seed = 12345;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int line = 1; text.size() < FileSize; ++line) {
        text += "Line " + QByteArray::number(line) + ": " + accent;
        for (int n = 40 + int(next() % 80); n > 0; --n)
            text += char('a' + next() % 26);
        text += crlf ? "\r\n" : "\n";
    }
    return text;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

// FileSize bytes of lines of `length` characters, each followed by `lineBreak`.
QByteArray makeLines(qsizetype length, const QByteArray &lineBreak)
{
    const QByteArray line = QByteArray(length, 'x') + lineBreak;
    QByteArray text = line.repeated(FileSize / line.size() + 1);
    text.truncate(FileSize);
    return text;
}

// The process's peak resident memory in MiB.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Until the window has been painted with its texts in place.
void settle(QWidget *window)
{
    QCoreApplication::processEvents();
    window->repaint();
    QCoreApplication::processEvents();
}

// Opens the hints window as the main window does and waits for its pages.
frmopdicas *openFilledHints()
{
    auto *form = new frmopdicas;
    bool filled = false;
    QObject::connect(form->page(2), &QPlainTextEdit::textChanged, [&] { filled = true; });
    platform::showForm(form);
    if (!QTest::qWaitFor([&] { return filled; }, 60000))
        qFatal("the hints window did not fill its pages");
    return form;
}

double timeHintsWindow()
{
    QElapsedTimer clock;
    clock.start();
    frmopdicas *form = openFilledHints();
    settle(form);
    const double ms = clock.nsecsElapsed() / 1e6;
    delete form;
    return ms;
}

double timeBareEdits(const QStringList &texts)
{
    QElapsedTimer clock;
    clock.start();
    auto *window = new QWidget;
    window->resize(513, 394);
    QList<QPlainTextEdit *> edits;
    for (int i = 0; i < texts.size(); ++i) {
        auto *edit = new QPlainTextEdit(window);
        edit->setGeometry(8, 80, 497, 305);
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edits << edit;
    }
    // Filled once shown, as the hints window fills its pages on activation.
    window->show();
    window->activateWindow();
    for (int i = 0; i < texts.size(); ++i)
        edits[i]->setPlainText(texts.at(i));
    settle(window);
    const double ms = clock.nsecsElapsed() / 1e6;
    delete window;
    return ms;
}

// Milliseconds a page-down takes, painted, in the middle of the first page.
double timeScrolling()
{
    frmopdicas *form = openFilledHints();
    QPlainTextEdit *page = form->page(0);
    QScrollBar *bar = page->verticalScrollBar();
    QElapsedTimer clock;
    clock.start();
    constexpr int Steps = 200;
    bar->setValue(bar->maximum() / 2);
    for (int i = 0; i < Steps; ++i) {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        page->viewport()->repaint();
    }
    const double perStep = clock.nsecsElapsed() / 1e6 / Steps;
    clock.restart();
    bar->setValue(bar->maximum());
    page->viewport()->repaint();
    const double toEnd = clock.nsecsElapsed() / 1e6;
    std::printf("scroll: %.3f ms a painted page-down, %.1f ms to jump to the end\n", perStep, toEnd);
    delete form;
    return perStep;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    const bool worst = argc > 2 && std::strcmp(argv[2], "worst") == 0;

    QTemporaryDir folder;
    platform::setApplicationFolder(folder.path());
    const QString names[] = {folder.filePath("options.txt"), folder.filePath("hints.txt"), folder.filePath("faq.txt")};
    if (worst) {
        writeFile(names[0], QByteArray(FileSize, 'x')); // one line
        writeFile(names[1], QByteArray(FileSize, '\n'));
        writeFile(names[2], makeLines(9999, "\r\n"));
    } else {
        writeFile(names[0], makeText("\xE7\x80", true));           // Windows-1252
        writeFile(names[1], makeText("\xC3\xA7\xE2\x82\xAC", true)); // UTF-8
        writeFile(names[2], makeText(QByteArray(), false));        // ASCII, LF
    }
    writeFile(folder.filePath("trevlin.INI"),
              "[path]\r\noptions=" + names[0].toUtf8() + "\r\nhints=" + names[1].toUtf8() + "\r\nfaq="
                  + names[2].toUtf8() + "\r\n");
    if (worst) {
        // The bare widgets would take minutes and gigabytes here: the window alone.
        QList<double> window;
        for (int i = 0; i < rounds; ++i)
            window << timeHintsWindow();
        std::printf("platform: %s, %d rounds, three files of %lld bytes a page must cut down\n",
                    qPrintable(QGuiApplication::platformName()), rounds, static_cast<long long>(FileSize));
        std::printf("hints window (read, decode, fit, fill, paint): %.1f ms\n", median(window));
        timeScrolling();
        std::printf("peak resident memory: %.0f MiB\n", peakMiB());
        return 0;
    }
    QStringList texts;
    QElapsedTimer decoding;
    decoding.start();
    for (const QString &name : names)
        texts << decodeText(readFile(name)).text;
    const double decodeMs = decoding.nsecsElapsed() / 1e6;

    QList<double> window, bare;
    timeBareEdits(texts); // warm up fonts and caches
    for (int i = 0; i < rounds; ++i) {
        window << timeHintsWindow();
        bare << timeBareEdits(texts);
    }
    const double w = median(window), b = median(bare);
    std::printf("platform: %s, %d rounds, three files of at least %lld bytes\n", qPrintable(QGuiApplication::platformName()),
                rounds, static_cast<long long>(FileSize));
    std::printf("hints window (read, decode, fill, paint): %.1f ms\n", w);
    std::printf("bare QPlainTextEdits (fill, paint):        %.1f ms\n", b);
    std::printf("ratio: %.2fx (goal: at most 1.20x)\n", w / b);
    std::printf("of which reading and decoding the three files alone: %.1f ms\n", decodeMs);
    timeScrolling();
    std::printf("peak resident memory: %.0f MiB\n", peakMiB());
    return 0;
}
