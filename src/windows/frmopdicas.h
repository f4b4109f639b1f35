#pragma once
#include <QWidget>

// Placeholder until the real window lands: a plain window of this name.
class frmopdicas : public QWidget
{
    Q_OBJECT
public:
    explicit frmopdicas(QWidget *parent = nullptr);
    ~frmopdicas() override;
signals:
    void unloaded();
};
