#include "windows/frmopdicas.h"

#include "platform/application.h"
#include "platform/discfile.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "settings/moduleini.h"
#include "settings/textcodec.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/mofficeborder.h"
#include "widgets/tabstrip.h"

#include <QPlainTextEdit>

#include <cmath>

namespace {

// Page, settings key and placeholder text, by page index; the tab at position
// index + 1 belongs to the page.
struct PageDesign
{
    const char *key;
    const char *placeholder;
    int leftTwips, topTwips, widthTwips, heightTwips;
};
constexpr PageDesign Pages[] = {
    {"options", "opcoes\r\n", 120, 1200, 7455, 4575},
    {"hints", "dicas\r\n", 120, 1200, 7335, 4575},
    {"faq", "faq\r\n", 120, 1200, 7335, 4575},
};
constexpr int PageLeftTwips = 120;

QPlainTextEdit *makePage(QWidget *parent, int index)
{
    const PageDesign &design = Pages[index];
    auto *page = new QPlainTextEdit(parent);
    page->setObjectName(QStringLiteral("Text1_%1").arg(index));
    page->setProperty("index", index);
    page->setGeometry(platform::twipsRect(design.leftTwips, design.topTwips, design.widthTwips, design.heightTwips));
    page->setReadOnly(true);
    page->setUndoRedoEnabled(false);
    page->setLineWrapMode(QPlainTextEdit::NoWrap);
    page->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    page->setPlainText(QString::fromLatin1(design.placeholder));
    return page;
}

// What a text page holds. A page lays out every line it shows whole, and each
// line costs memory however short it is: one 20 MiB line, or a few million
// empty ones, would hold the window for seconds and take gigabytes. Hints
// files run to a few hundred KiB in lines of under a hundred characters.
constexpr qint64 LargestPage = 4 * 1024 * 1024; // bytes of the file; a larger file is refused
constexpr qsizetype LongestLine = 10000;        // characters; a longer line is broken
constexpr qsizetype MostLines = 100000;         // lines of a page; the rest of the file is left out

// Where the line starting at `from` ends, and how many characters end it
// (CR LF, LF, CR or the paragraph separator, as the page takes them).
std::pair<qsizetype, int> lineEnd(const QString &text, qsizetype from)
{
    const QChar *chars = text.constData();
    for (qsizetype i = from; i < text.size(); ++i) {
        const char16_t c = chars[i].unicode();
        if (c == u'\n' || c == u'\u2029')
            return {i, 1};
        if (c == u'\r')
            return {i, i + 1 < text.size() && chars[i + 1] == u'\n' ? 2 : 1};
    }
    return {text.size(), 0};
}

// How many lines of the page the line from `from` to `end` takes: one, or,
// when it is longer than LongestLine, a note and its pieces.
qsizetype pageLinesOf(const QString &text, qsizetype from, qsizetype end)
{
    if (end - from <= LongestLine)
        return 1;
    qsizetype lines = 1; // the note
    while (end - from > LongestLine) {
        from += text.at(from + LongestLine - 1).isHighSurrogate() ? LongestLine - 1 : LongestLine;
        ++lines;
    }
    return lines + 1; // the last piece, with the line's end
}

// `text` as a page shows it: a line longer than LongestLine is broken into
// lines of that length after a note saying so, and a page holds at most
// MostLines lines (notes and pieces count): a line that would take it past
// them is left out with the rest, and a note says how many of the file's
// lines the page shows and how many are left out. Text within both bounds,
// as every ordinary hints file is, comes back unchanged.
QString fitToPage(const QString &text)
{
    const auto fits = [&text] {
        qsizetype lines = 0;
        for (qsizetype from = 0; from < text.size(); ++lines) {
            const auto [end, breakLength] = lineEnd(text, from);
            if (end - from > LongestLine || lines == MostLines)
                return false;
            from = end + breakLength;
        }
        return true;
    };
    if (fits())
        return text;

    QString page;
    qsizetype lines = 0;     // of the page
    qsizetype fileLines = 0; // of the file, shown
    for (qsizetype from = 0; from < text.size(); ++lines, ++fileLines) {
        const auto [end, breakLength] = lineEnd(text, from);
        if (lines + pageLinesOf(text, from, end) > MostLines) {
            qsizetype more = 0;
            for (; from < text.size(); ++more) {
                const auto [nextEnd, nextBreakLength] = lineEnd(text, from);
                from = nextEnd + nextBreakLength;
            }
            page += QObject::tr("[Only the first %1 lines are shown; the file has %2 more.]")
                        .arg(fileLines).arg(more);
            break;
        }
        if (end - from > LongestLine) {
            page += QObject::tr("[Next line: %1 characters, broken into lines of %2.]\n")
                        .arg(end - from).arg(LongestLine);
            ++lines;
            while (end - from > LongestLine) {
                qsizetype piece = LongestLine;
                if (text.at(from + piece - 1).isHighSurrogate())
                    --piece; // never between the two halves of one character
                page += QStringView(text).mid(from, piece);
                page += QLatin1Char('\n');
                from += piece;
                ++lines;
            }
        }
        page += QStringView(text).mid(from, end + breakLength - from);
        from = end + breakLength;
    }
    return page;
}

// A file's size beside the page's bound, as precise as it takes to see that
// it is over: "700 MiB; a page holds at most 4 MiB", and for a file just
// over, "4194305 bytes; a page holds at most 4194304 bytes (4 MiB)".
QString sizeAgainstPage(qint64 size)
{
    constexpr qint64 MiB = 1024 * 1024;
    const QString bound = QObject::tr("a page holds at most %1 MiB").arg(LargestPage / MiB);
    for (int decimals = 0; decimals <= 2; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        const double shown = std::floor(double(size) / MiB * scale) / scale; // never rounded up past the bound
        if (shown * MiB > double(LargestPage))
            return QStringLiteral("%1 MiB; %2").arg(shown, 0, 'f', decimals).arg(bound);
    }
    return QObject::tr("%1 bytes; a page holds at most %2 bytes (%3 MiB)")
        .arg(size).arg(LargestPage).arg(LargestPage / MiB);
}

struct PageText
{
    QString text;
    bool fromFile = true; // false: a line saying why the file could not be read
};

// The text of the file at `path` as its page shows it, opened exactly as
// given (a relative name from the working folder) and closed again before
// this returns; or one line naming the file and why it could not be read.
PageText readPageText(const QString &path)
{
    if (path.isEmpty())
        return {QObject::tr("Cannot open the file: no file name is set for this page."), false};
    const auto cannotOpen = [&path](const QString &reason) {
        return PageText{QObject::tr("Cannot open \"%1\": %2.").arg(path, reason), false};
    };
    // Only an ordinary file is opened, without blocking: a named pipe would
    // hold the window on open, a device on read.
    const platform::DiscFile file = platform::readDiscFile(path, LargestPage);
    switch (file.problem) {
    case platform::DiscFile::None:
        return {fitToPage(decodeText(file.bytes).text)};
    case platform::DiscFile::Folder:
        return cannotOpen(QObject::tr("it is a folder, not a file"));
    case platform::DiscFile::TooLarge:
        return cannotOpen(QObject::tr("it is too large to show (%1)").arg(sizeAgainstPage(file.size)));
    default:
        return cannotOpen(file.reason);
    }
}

} // namespace

frmopdicas::frmopdicas(QWidget *parent)
    : QWidget(parent, widgets::FixedWindowFlags)
{
    widgets::setUpForm(this, "frmopdicas", platform::applicationTitle(), 7695, 5910);

    // Control order of the design: the pages (options, FAQ, hints), the tab
    // strip, the heading. The pages lie in front of the strip.
    m_pages = {makePage(this, 0), nullptr, nullptr};
    m_pages[2] = makePage(this, 2);
    m_pages[1] = makePage(this, 1);

    widgets::TabStripStyle style;
    style.buttons = true;
    m_tabs = new widgets::TabStrip(this, style);
    m_tabs->setObjectName(QStringLiteral("tabopçoes"));
    m_tabs->setFont(widgets::designFont(QStringLiteral("MS Sans Serif"), 8.25));
    m_tabs->setGeometry(platform::twipsRect(120, 720, 7455, 5055));
    m_tabs->lower();

    widgets::makeHeadingLabel(this, QStringLiteral(" Hints and Tips"), platform::twipsRect(120, 120, 7455, 375));

    // Keyboard order of the design: hints, options, FAQ, then the strip.
    setTabOrder(m_pages[1], m_pages[0]);
    setTabOrder(m_pages[0], m_pages[2]);
    setTabOrder(m_pages[2], m_tabs);

    buildTabs();
    connect(m_tabs, &widgets::TabStrip::tabClick, this, &frmopdicas::switchPages);

    platform::registerForm(this, [this] { activate(); });
}

frmopdicas::~frmopdicas()
{
    emit unloaded();
}

void frmopdicas::buildTabs()
{
    m_tabs->attachImageList(widgets::ImageList{{
        QIcon(widgets::picture(QStringLiteral(":/trevlin/tabs/options.png"))),
        QIcon(widgets::picture(QStringLiteral(":/trevlin/tabs/hints.png"))),
        QIcon(widgets::picture(QStringLiteral(":/trevlin/tabs/faq.png"))),
    }});
    m_tabs->addTab(QStringLiteral("Options"), 0, true, QStringLiteral("options"), 1000);
    m_tabs->addTab(QStringLiteral("Hints"), 1, true, QStringLiteral("hints"), 2000);
    m_tabs->addTab(QStringLiteral("Faq"), 2, true, QStringLiteral("faq"), 3000);
    // The strip starts on its first tab: put that tab's page in front now, so
    // the pages out of sight cannot take the keyboard focus.
    switchPages();
}

void frmopdicas::activate()
{
    widgets::centreWindow(this);
    for (QPlainTextEdit *page : std::as_const(m_pages))
        Mofficeborder::ApplyFlatBorder(page);

    QStringList paths;
    for (const PageDesign &design : Pages)
        paths << ReadINI(QStringLiteral("path"), QString::fromLatin1(design.key));
    // One file open at a time; a page that fails does not stop the others.
    for (int i = 0; i < m_pages.size(); ++i) {
        const PageText page = readPageText(paths.at(i));
        // The file's lines scroll sideways; a line saying why there is no
        // file to show is read whole.
        m_pages[i]->setLineWrapMode(page.fromFile ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        m_pages[i]->setPlainText(page.text);
    }
}

void frmopdicas::switchPages()
{
    widgets::switchPages(m_tabs, QList<QWidget *>(m_pages.begin(), m_pages.end()), PageLeftTwips);
}
