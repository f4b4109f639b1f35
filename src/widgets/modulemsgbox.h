#pragma once
// The message box service: a modal box with an owner window, a text, a caption
// and Windows-style flags, answering with the Windows button numbers.

#include <QString>
#include <cstdint>

class QWidget;

namespace ModuleMSGbox {

// Flag values understood (the Windows MessageBox ones the program uses).
constexpr std::uint32_t MB_OK = 0x0;
constexpr std::uint32_t MB_OKCANCEL = 0x1;
constexpr std::uint32_t MB_YESNO = 0x4;
constexpr std::uint32_t MB_ICONERROR = 0x10;
constexpr std::uint32_t MB_ICONQUESTION = 0x20;
constexpr std::uint32_t MB_ICONWARNING = 0x30;
constexpr std::uint32_t MB_ICONINFORMATION = 0x40;
constexpr std::uint32_t MB_DEFBUTTON2 = 0x100;

// Button numbers returned.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows the box modal over `owner` and returns the number of the button
// pressed. The first button is the default unless MB_DEFBUTTON2 is given.
// Closing the box without a button gives IDCANCEL for OK/Cancel, IDNO for Yes/No.
int MessageBox(QWidget *owner, const QString &text, const QString &caption, std::uint32_t flags);

} // namespace ModuleMSGbox
