#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    velmora::app::MainWindow window;
    window.show();
    application.exec();
    return 0;
}
