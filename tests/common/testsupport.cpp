#include "testsupport.h"

#include "platform/application.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace testsupport {

TempAppFolder::TempAppFolder()
{
    platform::setApplicationFolder(m_dir.path());
}

TempAppFolder::~TempAppFolder()
{
    platform::setApplicationFolder(QString());
}

void TempAppFolder::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.write(bytes);
}

QByteArray TempAppFolder::readFile(const QString &name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct BoxAnswerer::Impl
{
    QTimer timer;
};

BoxAnswerer::BoxAnswerer(const QString &button)
    : m_impl(new Impl), m_seen(std::make_shared<QList<SeenBox>>())
{
    auto seen = m_seen;
    QObject::connect(&m_impl->timer, &QTimer::timeout, [seen, button] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box || !box->isVisible() || box->property("answered").toBool())
            return;
        box->setProperty("answered", true);
        SeenBox record;
        record.caption = box->windowTitle();
        record.text = box->text();
        record.detail = box->detailedText();
        record.icon = box->icon();
        QAbstractButton *target = nullptr;
        for (QAbstractButton *b : box->buttons()) {
            const QString text = b->text().remove(QLatin1Char('&'));
            record.buttons << text;
            if (text.compare(button, Qt::CaseInsensitive) == 0)
                target = b;
        }
        if (box->defaultButton())
            record.defaultButton = box->defaultButton()->text().remove(QLatin1Char('&'));
        seen->append(record);
        if (target)
            target->click();
        else
            box->reject();
    });
    m_impl->timer.start(10);
}

BoxAnswerer::~BoxAnswerer()
{
    delete m_impl;
}

struct stat statOf(const QString &path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

bool setMode(const QString &path, unsigned mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

bool waitFor(const std::function<bool()> &condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
}

bool showAndActivate(QWidget *form)
{
    form->show();
    form->raise();
    form->activateWindow();
    return QTest::qWaitForWindowActive(form);
}

} // namespace testsupport
