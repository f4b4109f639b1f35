#pragma once
// The main window's five launch actions. Each reads its settings at the moment
// it runs, builds its command line by plain concatenation and starts it
// without waiting. A start that fails is reported to the user, naming the
// settings entry and what is wrong with it, and the menu stays open.

#include <QString>

class QWidget;

namespace launch {

// player + " /quickini" + " /v:" + movie + " /s:" + subtitles
QString viewMovieCommand(const QString &player, const QString &movie, const QString &subtitles);
// prefix + "regsvr32 /s iviaudio.ax", prefix + "regsvr32 /s mpgaudio.ax"
QString firstFilterCommand(const QString &prefix);
QString secondFilterCommand(const QString &prefix);

// Starts the external player minimized with the movie and its subtitles and
// ends the program; when the player cannot be started the program stays.
void viewMovie(QWidget *owner);
void installCodecs(QWidget *owner);
// The menu and the toolbar spell the entry differently; both reach the same one.
enum class Spelling { Menu, Toolbar };
void installMicroDvd(QWidget *owner, Spelling spelling);
void installMediaPlayer(QWidget *owner);
void registerAc3Filters(QWidget *owner);

} // namespace launch
