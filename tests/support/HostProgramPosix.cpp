#include "HostProgram.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace velmora::test {

int runHostProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::string hostPath(const std::filesystem::path& path)
{
    return path.string();
}

} // namespace velmora::test
