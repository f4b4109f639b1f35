#pragma once
// The form lifecycle shared by every window of the program.
//
// A "form" is one of the program's own top-level windows (main window, splash,
// settings dialog, player, hints, About). Message boxes and file dialogs are
// not forms. A form is *activated* when it becomes the active window and the
// previously activated form was a different one (or none since it was shown):
// switching to another application and back, or closing a message box over a
// form, does not activate it again.
//
// Unload is the window's destruction: forms use Qt::WA_DeleteOnClose and emit
// their unloaded() signal from the destructor, so accept/reject/Escape of a
// dialog unload it just like the close box.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace platform {

// Registers `form` as one of the program's forms; `activate` runs each time the
// form is activated (see above). The registration ends with the form.
void registerForm(QWidget *form, std::function<void()> activate);

// The form activated last, or null when it is gone.
QWidget *lastActivatedForm();

// Shows a form not modal and asks for the keyboard focus: show(), raise(),
// activateWindow(). Without a window manager nothing activates on its own.
void showForm(QWidget *form);

// One instance of a window, created on first use and gone when it closes
// (the window carries Qt::WA_DeleteOnClose). The next use builds a new one
// from its design state.
template <typename T>
class FormHolder
{
public:
    using Factory = std::function<T *()>;
    explicit FormHolder(Factory factory = [] { return new T; }) : m_factory(std::move(factory)) {}

    // The existing instance, or a new one (created, not shown).
    T *get()
    {
        if (!m_form) {
            m_form = m_factory();
            m_form->setAttribute(Qt::WA_DeleteOnClose);
        }
        return m_form.data();
    }
    // The instance if one exists, else null.
    T *existing() const { return m_form.data(); }

private:
    Factory m_factory;
    QPointer<T> m_form;
};

} // namespace platform
