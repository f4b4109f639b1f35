#include "widgets/modulemsgbox.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace ModuleMSGbox {

int MessageBox(QWidget *owner, const QString &text, const QString &caption, std::uint32_t flags)
{
    // On the heap and watched: should the owner go while the box is open, it
    // takes the box along and nothing is deleted twice.
    const QPointer<QMessageBox> box = new QMessageBox(owner);
    box->setWindowTitle(caption);
    box->setText(text);
    switch (flags & 0xF0) {
    case MB_ICONERROR: box->setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box->setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box->setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box->setIcon(QMessageBox::Information); break;
    default: box->setIcon(QMessageBox::NoIcon); break;
    }

    struct Choice { QMessageBox::StandardButton button; int result; };
    QList<Choice> choices;
    int closeResult = IDCANCEL;
    switch (flags & 0xF) {
    case MB_YESNO:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        closeResult = IDNO;
        break;
    case MB_OKCANCEL:
        choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    default:
        choices = {{QMessageBox::Ok, IDOK}};
        closeResult = IDOK;
        break;
    }
    for (const Choice &c : choices)
        box->addButton(c.button);
    const int defaultIndex = (flags & MB_DEFBUTTON2) && choices.size() > 1 ? 1 : 0;
    box->setDefaultButton(choices.at(defaultIndex).button);
    box->setEscapeButton(choices.size() > 1 ? choices.last().button : choices.first().button);

    box->exec();
    if (!box)
        return closeResult;
    int result = closeResult;
    for (const Choice &c : choices) {
        if (box->clickedButton() == box->button(c.button))
            result = c.result;
    }
    delete box.data();
    return result;
}

} // namespace ModuleMSGbox
