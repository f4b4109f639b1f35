#pragma once
// What the player module (trevlin-player.so) offers the program. The internal
// player is the only part of the program that needs the media stack (Qt
// Multimedia, GStreamer, PulseAudio), so it lives in a module of its own that
// the program loads the first time the player is opened: the program starts
// as a plain Qt Widgets program.
//
// The module uses the program's own services (the settings file, the form
// lifecycle, centring, fonts): the program exports them, and the module links
// nothing of its own for them, so both share one settings folder and one
// record of the active form.

#include <QtPlugin>
#include <functional>

class QString;
class QWidget;

class PlayerModule
{
public:
    virtual ~PlayerModule() = default;

    // A new internal player window (Frmplayer), not shown. `unloaded` runs when
    // the window goes, however it closes. Null when no movie player can be
    // made here (the media stack is incomplete), with the reason in `problem`.
    virtual QWidget *createWindow(std::function<void()> unloaded, QString *problem) = 0;
};

#define PlayerModule_iid "io.github.trevlin.PlayerModule/1"
Q_DECLARE_INTERFACE(PlayerModule, PlayerModule_iid)
