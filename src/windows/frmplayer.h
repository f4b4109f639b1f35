#pragma once
#include <QWidget>

// Placeholder until the real window lands: a plain window of this name.
class Frmplayer : public QWidget
{
    Q_OBJECT
public:
    explicit Frmplayer(QWidget *parent = nullptr);
    ~Frmplayer() override;
signals:
    void unloaded();
};
