#pragma once
// frmAcerca: the About window. Title, version, a credit line and the program's
// pictures; Ok (also Enter and Escape) or the close box closes it.

#include <QWidget>

class QLabel;
class QPushButton;

class frmAcerca : public QWidget
{
    Q_OBJECT
public:
    explicit frmAcerca(QWidget *parent = nullptr);
    ~frmAcerca() override;

    // "Version " and the three numbers, each in plain decimal; all three are
    // always there, a zero revision too.
    static QString versionLine(int major, int minor, int revision);

signals:
    // The window is gone, however it was closed: the main window shows itself.
    void unloaded();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void activate();

    QLabel *m_title = nullptr;
    QLabel *m_version = nullptr;
    QPushButton *m_ok = nullptr;
};
