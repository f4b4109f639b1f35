#include "mainwindow/frmprincipal.h"
frmprincipal::frmprincipal(QWidget *parent) : QMainWindow(parent) {}
