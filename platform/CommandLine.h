#pragma once

// The command line of a console tool as UTF-8, and a console that shows
// UTF-8: on Windows the arguments are taken in their wide form (the ANSI
// form loses every character the PC's code page lacks) and the console's
// output code page is set to UTF-8.

#include <string>
#include <vector>

namespace velmora::platform {

// The arguments after the program's name, UTF-8.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Makes the console show the UTF-8 the tool prints.
void useUtf8Console();

} // namespace velmora::platform
