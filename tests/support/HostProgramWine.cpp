// Under Wine, CreateProcess starts a Linux program when given its Windows
// name (Z:\...), and kernel32 exports the conversions between the two kinds
// of file names.

#include "HostProgram.h"

#include <cstdlib>
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
    const auto toDos = wineExport<ToDos>("wine_get_dos_file_name");
    if (!toDos)
        return -1;
    wchar_t* dosName = toDos(program.c_str());
    if (!dosName)
        return -1;
    std::wstring commandLine = L"\"" + std::wstring(dosName) + L"\"";
    HeapFree(GetProcessHeap(), 0, dosName);
    for (const std::string& argument : arguments)
        commandLine += L" \"" + wide(argument) + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const BOOL known = GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return known ? static_cast<int>(code) : -1;
}

} // namespace velmora::test
