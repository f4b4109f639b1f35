#include "widgets/tabstrip.h"

#include "platform/twips.h"

#include <QMouseEvent>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace widgets {

// QTabBar changes its selection on the mouse press and says nothing for a
// press on the tab already selected; its currentChanged also fires when the
// first tab is added. The strip's click event is raised from the input itself,
// once the selection has changed, so a tab and its page never disagree.
class TabStrip::Bar : public QTabBar
{
public:
    explicit Bar(TabStrip *strip) : QTabBar(strip), m_strip(strip) {}

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        const bool onTab = event->button() == Qt::LeftButton && tabAt(event->position().toPoint()) >= 0;
        QTabBar::mousePressEvent(event);
        if (onTab)
            emit m_strip->tabClick(m_strip->selectedTab());
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const int before = currentIndex();
        QTabBar::keyPressEvent(event);
        if (currentIndex() != before)
            emit m_strip->tabClick(m_strip->selectedTab());
    }

#if QT_CONFIG(wheelevent)
    void wheelEvent(QWheelEvent *event) override
    {
        const int before = currentIndex();
        QTabBar::wheelEvent(event);
        if (currentIndex() != before)
            emit m_strip->tabClick(m_strip->selectedTab());
    }
#endif

private:
    TabStrip *m_strip;
};

TabStrip::TabStrip(QWidget *parent, const TabStripStyle &style)
    : QWidget(parent), m_style(style), m_bar(new Bar(this))
{
    m_bar->setDrawBase(!style.buttons);
    m_bar->setDocumentMode(style.flatButtons && style.buttons);
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(true);
    m_bar->setAttribute(Qt::WA_Hover, style.hotTrack);
    setFocusProxy(m_bar);
}

void TabStrip::attachImageList(const ImageList &images)
{
    m_images = images;
}

void TabStrip::addTab(const QString &caption, int iconNumber, bool flag, const QString &key, int number)
{
    QIcon icon;
    if (iconNumber >= 0 && iconNumber < m_images.icons.size())
        icon = m_images.icons.at(iconNumber);
    const int index = m_bar->addTab(icon, caption);
    m_bar->setTabData(index, QVariantList{flag, key, number});
    m_bar->setTabToolTip(index, QString());
    m_bar->resize(width(), m_bar->sizeHint().height());
}

QTabBar *TabStrip::tabBar() const
{
    return m_bar;
}

int TabStrip::tabCount() const
{
    return m_bar->count();
}

int TabStrip::selectedTab() const
{
    return m_bar->currentIndex() + 1;
}

void TabStrip::resizeEvent(QResizeEvent *)
{
    m_bar->setGeometry(0, 0, width(), m_bar->sizeHint().height());
}

void TabStrip::paintEvent(QPaintEvent *)
{
    if (m_style.buttons)
        return;
    // The pane under the tabs, drawn by the style like a tab widget's frame.
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.rect = rect().adjusted(0, m_bar->height() - 1, 0, 0);
    option.shape = QTabBar::RoundedNorth;
    option.tabBarSize = m_bar->size();
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
}

void switchPages(const TabStrip *strip, const QList<QWidget *> &pages, int shownLeftTwips)
{
    const int n = strip->tabCount();
    for (int i = 0; i < n && i < pages.size(); ++i) {
        const int selected = strip->selectedTab();
        QWidget *page = pages.at(i);
        if (i == selected - 1) {
            page->move(platform::twips(shownLeftTwips), page->y());
            page->setEnabled(true);
        } else {
            page->move(platform::twips(-20000), page->y());
            page->setEnabled(false);
        }
    }
}

} // namespace widgets
