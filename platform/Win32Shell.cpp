#include "platform/Win32Shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace velmora::platform::win32 {
namespace {

constexpr int PATH_BUFFER = 512;

// The folder the browser opens at. The browser runs modally on the GUI
// thread, so one value set just before it opens is all the callback needs.
std::string& initialFolderText()
{
    static std::string text;
    return text;
}

// The browser's callback: once the browser is up, select the initial folder
// (wParam TRUE says the last argument is a path text).
int CALLBACK selectInitialFolder(HWND window, UINT message, LPARAM, LPARAM)
{
    if (message == BFFM_INITIALIZED)
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(initialFolderText().c_str()));
    return 1;
}

std::string trimBlanks(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::string browseForFolder(const std::string& title, const std::string& initialFolder)
{
    // The new-style browser needs COM on this thread, in a single-threaded
    // apartment; the GUI thread usually has it already.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    initialFolderText() = initialFolder;
    BROWSEINFOA request{};
    request.hwndOwner = nullptr;
    request.pidlRoot = nullptr;
    request.pszDisplayName = nullptr;
    request.lpszTitle = title.c_str();
    request.ulFlags = BIF_NEWDIALOGSTYLE;
    request.lpfn = selectInitialFolder;
    request.lParam = 0;
    request.iImage = 0;

    std::string buffer(PATH_BUFFER, ' ');
    if (PIDLIST_ABSOLUTE items = SHBrowseForFolderA(&request)) {
        // Result ignored: an item without a file-system path leaves the
        // buffer blank, which reads as a cancel.
        SHGetPathFromIDListA(items, buffer.data());
        CoTaskMemFree(items);
    }
    if (SUCCEEDED(com))
        CoUninitialize();

    const auto nul = buffer.find('\0');
    return trimBlanks(nul == std::string::npos ? buffer : buffer.substr(0, nul));
}

void openFolder(const std::string& folder)
{
    // An empty working directory, not none; the shell shows its own message
    // for a folder that does not exist.
    ShellExecuteA(nullptr, "open", folder.c_str(), nullptr, "", SW_SHOWNORMAL);
}

} // namespace velmora::platform::win32
