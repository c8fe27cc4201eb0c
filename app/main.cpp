#include "app/MainWindow.h"
#include "platform/Termination.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Before the window: its start-up opens the phone ports, and a request to
    // end the program from then on must close the window, not kill it.
    velmora::platform::catchTermination();
    velmora::app::MainWindow window;
    velmora::platform::closeOnTermination(&window);
    // Message boxes and the download dialog show the program's icon too.
    application.setWindowIcon(window.windowIcon());
    window.show();
    application.exec();
    return 0;
}
