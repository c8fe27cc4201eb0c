#include "platform/HoldingFolder.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace velmora::platform {
namespace {

std::wstring localAppData()
{
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), static_cast<DWORD>(value.size()));
        if (length == 0)
            break;
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
    wchar_t folder[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK)
        return {};
    return folder;
}

} // namespace

std::filesystem::path holdingFolder()
{
    const std::wstring base = localAppData();
    // 未保存照片
    return base.empty() ? std::filesystem::path()
                        : std::filesystem::path(base) / L"Velmora-PC" / L"\u672A\u4FDD\u5B58\u7167\u7247";
}

} // namespace velmora::platform
