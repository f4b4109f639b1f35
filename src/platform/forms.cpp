#include "platform/forms.h"

#include <QApplication>
#include <QEvent>
#include <QHash>

namespace platform {
namespace {

class FormTracker : public QObject
{
public:
    static FormTracker &instance()
    {
        static FormTracker *tracker = [] {
            auto *t = new FormTracker;
            qApp->installEventFilter(t);
            return t;
        }();
        return *tracker;
    }

    void add(QWidget *form, std::function<void()> activate)
    {
        m_forms.insert(form, std::move(activate));
        QObject::connect(form, &QObject::destroyed, this, [this, form] {
            m_forms.remove(form);
            if (m_last == form)
                m_last = nullptr;
        });
    }

    QWidget *last() const { return m_last; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::WindowActivate || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        auto it = m_forms.constFind(widget);
        if (it == m_forms.constEnd() || m_last == widget)
            return false;
        m_last = widget;
        // Copy: the handler may close the form and end its registration.
        const std::function<void()> activate = it.value();
        if (activate)
            activate();
        return false;
    }

private:
    QHash<QWidget *, std::function<void()>> m_forms;
    QWidget *m_last = nullptr;
};

} // namespace

void registerForm(QWidget *form, std::function<void()> activate)
{
    FormTracker::instance().add(form, std::move(activate));
}

QWidget *lastActivatedForm()
{
    return FormTracker::instance().last();
}

void showForm(QWidget *form)
{
    form->show();
    form->raise();
    form->activateWindow();
}

} // namespace platform
