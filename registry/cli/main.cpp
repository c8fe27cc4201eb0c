// velmora-photos: the photo check and the upload export from a command line.

#include "platform/CommandLine.h"
#include "registry/PhotosCommand.h"
#include "registry/export/ExportCommand.h"
#include "registry/face/AssessPhoto.h"

#include <QCoreApplication>

#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

// The check's verdict of one photo: "" when it passes, else the reason. A
// photo that cannot be read is one the export could not send either.
std::string judgePhoto(const std::filesystem::path& photo)
{
    using namespace velmora::registry;
    std::ifstream file(photo, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const PhotoCheck verdict = file.bad() ? PhotoCheck::Incomplete : assessPhoto(bytes).verdict;
    return verdict == PhotoCheck::Passed ? std::string() : std::string(reasonText(verdict));
}

} // namespace

int main(int argc, char** argv)
{
    // Qt's image reader finds its JPEG plug-in through the application.
    QCoreApplication application(argc, argv);
    // Before the export's workers read photos (see there).
    velmora::registry::prepareImageReading();
    velmora::platform::useUtf8Console();
    try {
        return velmora::registry::runPhotosCommand(velmora::platform::commandLineArguments(argc, argv),
                                                   std::cout, std::cerr, velmora::registry::runExport, judgePhoto);
    } catch (const std::exception& error) {
        std::cerr << "velmora-photos: " << error.what() << "\n";
        return velmora::registry::EXIT_BAD_INPUT;
    }
}
