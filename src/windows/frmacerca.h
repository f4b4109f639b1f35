#pragma once
#include <QWidget>

// Placeholder until the real window lands: a plain window of this name.
class frmAcerca : public QWidget
{
    Q_OBJECT
public:
    explicit frmAcerca(QWidget *parent = nullptr);
    ~frmAcerca() override;
signals:
    void unloaded();
};
