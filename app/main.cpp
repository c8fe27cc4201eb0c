#include "app/MainWindow.h"
#include "platform/Termination.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    velmora::app::MainWindow window;
    velmora::platform::closeOnTermination(&window);
    window.show();
    application.exec();
    return 0;
}
