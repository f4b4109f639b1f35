#pragma once
// The tab strip two windows switch pages with: a row of tabs over a pane.
// The windows use only the operations below; tabs are known to them only by
// their position, counting from 1 in the order they were added.

#include <QIcon>
#include <QList>
#include <QTabBar>
#include <QWidget>

namespace widgets {

// The icons a strip takes its tab icons from, by 0-based number.
struct ImageList
{
    QList<QIcon> icons;
};

struct TabStripStyle
{
    bool hotTrack = true;    // a tab lights up under the mouse
    bool flatButtons = true;
    bool buttons = false;    // tabs drawn as buttons, with no pane under them
};

class TabStrip : public QWidget
{
    Q_OBJECT
public:
    explicit TabStrip(QWidget *parent = nullptr, const TabStripStyle &style = {});

    // Attach image list: the strip takes its tab icons from `images`.
    void attachImageList(const ImageList &images);
    // Add tab: caption, icon number (0-based, into the attached list), a flag,
    // a key and a number (1000, 2000, ...). Tabs appear in the order added.
    void addTab(const QString &caption, int iconNumber, bool flag, const QString &key, int number);
    // Tab count.
    int tabCount() const;
    // Selected tab: its position, counting from 1 (0 when there are no tabs).
    int selectedTab() const;

    QTabBar *tabBar() const;

signals:
    // Raised when the user picks a tab, after the selection has changed: by a
    // click (also on the tab already selected), by the keyboard or the wheel.
    // The argument is the selected tab's position.
    void tabClick(int position);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    class Bar;
    TabStripStyle m_style;
    ImageList m_images;
    Bar *m_bar = nullptr;
};

// Page switching shared by the windows with a tab strip: the page of the
// selected tab moves to its own left edge (`shownLeftTwips`) and is enabled;
// every other page moves to -20000 twips and is disabled. The strip is asked
// for the selected tab afresh on each pass. Tops, sizes and visibility stay.
void switchPages(const TabStrip *strip, const QList<QWidget *> &pages, int shownLeftTwips);

} // namespace widgets
