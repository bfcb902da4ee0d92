// CF_TEXT on the Win32 clipboard.  Emptying the clipboard makes the opening
// window its owner, so the program keeps a hidden window of its own for it.
#include <cstring>

#include "platform/win32/win32host.h"

namespace {

HWND clip_window = nullptr;

HWND owner()
{
    if (!clip_window)
        clip_window = CreateWindowExA(0, "STATIC", "kx9d clipboard", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
    return clip_window;
}

// Another program may hold the clipboard for a moment.
bool open_clipboard()
{
    for (int i = 0; i < 10; i++) {
        if (OpenClipboard(owner()))
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace

void win32_clip_put(const std::string &text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    if (!block)
        return;
    if (void *p = GlobalLock(block)) {
        std::memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
    }
    if (!open_clipboard()) {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block))
        GlobalFree(block);  // still ours when the clipboard did not take it
    CloseClipboard();
}

bool win32_clip_get(std::string *text)
{
    if (!IsClipboardFormatAvailable(CF_TEXT) || !open_clipboard())
        return false;
    bool got = false;
    if (HANDLE block = GetClipboardData(CF_TEXT)) {
        if (const char *p = static_cast<const char *>(GlobalLock(block))) {
            // The block need not end with a NUL of its own.
            std::size_t size = GlobalSize(block);
            text->assign(p, strnlen(p, size));
            got = true;
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return got;
}

void win32_clip_close()
{
    if (clip_window)
        DestroyWindow(clip_window);
    clip_window = nullptr;
}
