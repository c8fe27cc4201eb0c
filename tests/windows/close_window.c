/* close_window TITLE: asks the top-level window titled TITLE to close, as a
 * click on its close button does (WM_CLOSE to that window alone), and waits
 * until the window is gone. Exit code 0 when it closed within 30 seconds, 1
 * when it did not, 2 when there is no such window. Used by the Windows smoke
 * test under Wine; taskkill would also close the program's hidden windows. */
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    HWND window = FindWindowW(NULL, argv[1]);
    if (!window)
        return 2;
    PostMessageW(window, WM_CLOSE, 0, 0);
    for (int i = 0; i < 300; ++i) {
        if (!IsWindow(window))
            return 0;
        Sleep(100);
    }
    return 1;
}
