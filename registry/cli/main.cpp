// velmora-photos: the photo check and the upload export from a command line.

#include "platform/CommandLine.h"
#include "registry/PhotosCommand.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    velmora::platform::useUtf8Console();
    try {
        return velmora::registry::runPhotosCommand(velmora::platform::commandLineArguments(argc, argv),
                                                   std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "velmora-photos: " << error.what() << "\n";
        return velmora::registry::EXIT_BAD_INPUT;
    }
}
