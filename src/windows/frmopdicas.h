#pragma once
// frmopdicas: the hints and tips window. Three read-only pages, one a tab,
// show the disc's options, hints and FAQ text files named in the settings
// file (path: options, hints, faq). Every activation reads the three files
// afresh, one after another; a file that cannot be opened leaves a line on its
// own page saying why, and the other pages still load.

#include <QList>
#include <QWidget>

class QPlainTextEdit;
namespace widgets {
class TabStrip;
}

class frmopdicas : public QWidget
{
    Q_OBJECT
public:
    explicit frmopdicas(QWidget *parent = nullptr);
    ~frmopdicas() override;

    widgets::TabStrip *tabStrip() const { return m_tabs; }
    // The page of `index`: 0 options, 1 hints, 2 FAQ.
    QPlainTextEdit *page(int index) const { return m_pages.value(index); }

signals:
    void unloaded();

private:
    void buildTabs();
    void activate();
    void switchPages();

    QList<QPlainTextEdit *> m_pages;
    widgets::TabStrip *m_tabs = nullptr;
};
