#include "platform/windows_win.h"

#include <QDir>

#include <windows.h>

#include <vector>

namespace platform::win {

QString systemReason(unsigned long code)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                              | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString reason = length ? QString::fromWCharArray(text, int(length)).trimmed() : QString();
    if (text)
        ::LocalFree(text);
    if (reason.isEmpty())
        reason = QStringLiteral("Windows error %1").arg(code);
    return reason;
}

QString programFile()
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0)
            return QString();
        if (length < name.size())
            return QDir::fromNativeSeparators(QString::fromWCharArray(name.data(), int(length)));
        name.resize(name.size() * 2);
    }
}

QString deviceName(const QString &path)
{
    QString name = path;
    name.replace(QLatin1Char('/'), QLatin1Char('\\'));
    // \\?\C:\... and \\?\UNC\... are long file paths; every other path under
    // \\.\ or \\?\ names a device or the system's object space.
    if (name.startsWith(QLatin1String("\\\\.\\")) || name.startsWith(QLatin1String("\\\\?\\"))) {
        const QString rest = name.mid(4);
        const bool drivePath = rest.size() >= 3 && rest.at(0).isLetter() && rest.at(1) == QLatin1Char(':')
                               && rest.at(2) == QLatin1Char('\\');
        if (!name.startsWith(QLatin1String("\\\\?\\"))
            || !(drivePath || rest.startsWith(QLatin1String("UNC\\"), Qt::CaseInsensitive)))
            return path;
        name = rest;
    }
    // The last part, without a drive ("C:NUL") or its stream, extension and
    // the blanks and dots Windows drops: "nul.txt", "NUL ", "con:" are the device.
    QString last = name.mid(name.lastIndexOf(QLatin1Char('\\')) + 1);
    if (last.size() >= 2 && last.at(1) == QLatin1Char(':') && last.at(0).isLetter())
        last = last.mid(2);
    last = last.left(last.indexOf(QLatin1Char('.')));
    last = last.left(last.indexOf(QLatin1Char(':')));
    while (last.endsWith(QLatin1Char(' ')))
        last.chop(1);
    const QString upper = last.toUpper();
    static const QStringList plain{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                   QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (plain.contains(upper))
        return upper;
    if (upper.size() == 4 && (upper.startsWith(QLatin1String("COM")) || upper.startsWith(QLatin1String("LPT")))) {
        const QChar digit = upper.at(3);
        // COM1..COM9, and the superscript digits Windows takes as well.
        if ((digit >= QLatin1Char('1') && digit <= QLatin1Char('9')) || digit == QChar(0x00B9)
            || digit == QChar(0x00B2) || digit == QChar(0x00B3))
            return upper;
    }
    return QString();
}

} // namespace platform::win
