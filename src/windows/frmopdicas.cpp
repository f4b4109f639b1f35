#include "windows/frmopdicas.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "settings/moduleini.h"
#include "settings/textcodec.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/mofficeborder.h"
#include "widgets/tabstrip.h"

#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>

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

// The whole text of the file at `path`, opened exactly as given (a relative
// name from the working folder) and closed again before this returns; or one
// line naming the file and why it could not be read.
// Text files run to a few hundred KiB; a path that names the movie by mistake
// must not fill memory and hold the window.
constexpr qint64 LargestPage = 64 * 1024 * 1024;

QString readPageText(const QString &path)
{
    if (path.isEmpty())
        return QObject::tr("Cannot open the file: no file name is set for this page.");
    const QFileInfo info(path);
    const auto cannotOpen = [&path](const QString &reason) {
        return QObject::tr("Cannot open \"%1\": %2.").arg(path, reason);
    };
    // A pipe or a device would hold the window on open or read: not a page.
    if (info.exists() && !info.isFile() && !info.isDir())
        return cannotOpen(QObject::tr("it is not an ordinary file"));
    if (info.isFile() && info.size() > LargestPage)
        return cannotOpen(QObject::tr("it is too large to show (%1 MiB; a page holds at most %2 MiB)")
                              .arg(info.size() / (1024 * 1024))
                              .arg(LargestPage / (1024 * 1024)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!info.exists())
            return cannotOpen(QObject::tr("the file does not exist"));
        if (info.isDir())
            return cannotOpen(QObject::tr("it is a folder, not a file"));
        if (!info.isReadable())
            return cannotOpen(QObject::tr("the file may not be read"));
        return cannotOpen(file.errorString());
    }
    // The length first, then that many bytes, in one read.
    const QByteArray bytes = file.read(file.size());
    file.close();
    return decodeText(bytes).text;
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
    for (int i = 0; i < m_pages.size(); ++i)
        m_pages[i]->setPlainText(readPageText(paths.at(i)));
}

void frmopdicas::switchPages()
{
    widgets::switchPages(m_tabs, QList<QWidget *>(m_pages.begin(), m_pages.end()), PageLeftTwips);
}
