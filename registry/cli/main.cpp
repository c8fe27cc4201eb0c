// velmora-photos: the photo check and the upload export from a command line.

#include "platform/CommandLine.h"
#include "registry/PhotosCommand.h"
#include "registry/export/ExportCommand.h"
#include "registry/face/AssessPhoto.h"

#include <QCoreApplication>

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    // Qt's image reader finds its JPEG plug-in through the application.
    QCoreApplication application(argc, argv);
    // Before the export's workers read photos (see there).
    velmora::registry::prepareImageReading();
    velmora::platform::useUtf8Console();
    try {
        return velmora::registry::runPhotosCommand(velmora::platform::commandLineArguments(argc, argv),
                                                   std::cout, std::cerr, velmora::registry::runExport,
                                                   velmora::registry::judgePhotoFile);
    } catch (const std::exception& error) {
        std::cerr << "velmora-photos: " << error.what() << "\n";
        return velmora::registry::EXIT_BAD_INPUT;
    }
}
