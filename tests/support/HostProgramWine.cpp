// Under Wine, CreateProcess starts a Linux program when given its Windows
// name (Z:\...), and kernel32 exports the conversions between the two kinds
// of file names. Wine gives no handle for such a process, so the program runs
// from a small shell script that leaves its exit code in a file, and the
// test waits for that file.

#include "HostProgram.h"

#include <chrono>
#include <fstream>
#include <random>
#include <thread>
#include <windows.h>

namespace velmora::test {
namespace {

using ToUnix = char* (*)(const wchar_t*);
using ToDos = wchar_t* (*)(const char*);

template <typename Function>
Function wineExport(const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// `text` as one word of a POSIX shell command.
std::string shellWord(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::wstring wide(const std::string& utf8)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), size);
    out.resize(static_cast<std::size_t>(size > 0 ? size - 1 : 0));
    return out;
}

} // namespace

std::string hostPath(const std::filesystem::path& path)
{
    const auto toUnix = wineExport<ToUnix>("wine_get_unix_file_name");
    if (!toUnix)
        return {};
    char* unixName = toUnix(std::filesystem::absolute(path).c_str());
    if (!unixName)
        return {};
    std::string out(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return out;
}

int runHostProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    namespace fs = std::filesystem;
    const auto toDos = wineExport<ToDos>("wine_get_dos_file_name");
    if (!toDos)
        return -1;
    const fs::path stem = fs::temp_directory_path()
        / ("velmora-host-" + std::to_string(std::random_device{}()));
    const fs::path script = fs::path(stem) += ".sh";
    const fs::path status = fs::path(stem) += ".status";
    {
        std::string command = shellWord(program);
        for (const std::string& argument : arguments)
            command += " " + shellWord(argument);
        std::ofstream out(script, std::ios::binary);
        out << command << "\necho $? > " << shellWord(hostPath(status) + ".part") << " && mv "
            << shellWord(hostPath(status) + ".part") << " " << shellWord(hostPath(status)) << "\n";
    }
    wchar_t* shell = toDos("/bin/sh");
    if (!shell)
        return -1;
    std::wstring commandLine = L"\"" + std::wstring(shell) + L"\" \"" + wide(hostPath(script)) + L"\"";
    HeapFree(GetProcessHeap(), 0, shell);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);

    int code = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(status)) {
            std::ifstream(status) >> code;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::error_code ignored;
    fs::remove(script, ignored);
    fs::remove(status, ignored);
    return code;
}

} // namespace velmora::test
