#include "app/MainWindow.h"
#include "app/QtTranslations.h"
#include "link/PhotoWriter.h"
#include "platform/ProcessEnd.h"
#include "platform/Termination.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Before any window: Qt's buttons and dialogs take their texts when made.
    velmora::app::installQtTranslations(application);
    // Before the window: its start-up opens the phone ports, and a request to
    // end the program from then on must close the window, not kill it.
    velmora::platform::catchTermination();
    {
        velmora::app::MainWindow window;
        velmora::platform::closeOnTermination(&window);
        // Message boxes and the download dialog show the program's icon too.
        application.setWindowIcon(window.windowIcon());
        window.show();
        application.exec();
    }
    // The window gave the disk its 30 s at closing. A write that has still
    // not returned would hold the ordinary end up for as long as it hangs;
    // its photo is not stored, and its temporary file goes at the next run's
    // first store into that folder, ten minutes on.
    if (velmora::link::PhotoWriter::writesLeftBehind()) {
        qWarning() << "a write to the receive folder never returned; the program ends without it";
        velmora::platform::endProcessNow(0);
    }
    return 0;
}
