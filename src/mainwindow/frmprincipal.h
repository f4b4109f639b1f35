#pragma once
#include <QMainWindow>
class frmprincipal : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmprincipal(QWidget *parent = nullptr);
};
