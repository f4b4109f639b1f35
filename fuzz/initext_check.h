#pragma once
// The properties the settings file's reader and editor must keep for any
// input. Shared by the libFuzzer target and by the test that replays the
// seed corpus.
//
// An input is "SECTION\0KEY\0VALUE\0" followed by the file's bytes (the names
// and the value as UTF-8). An input with fewer than three NULs is all file,
// read and edited at main/title.

#include <QByteArrayView>
#include <QString>

// Empty when every property holds; otherwise what broke.
QString checkIniInput(QByteArrayView input);
