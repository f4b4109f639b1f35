#pragma once
#include <QWidget>

// Placeholder until the real window lands: a plain window of this name.
class Frmparametros : public QWidget
{
    Q_OBJECT
public:
    explicit Frmparametros(QWidget *parent = nullptr);
    ~Frmparametros() override;
signals:
    void unloaded();
};
