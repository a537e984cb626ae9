/* Message boxes and shell requests through replaceable pointers: see ui.h. */
#include "base/ui.h"

#include "base/str.h"

#include <shellapi.h>

HINSTANCE g_instance;
MessageBoxFn g_messageBox = MessageBoxA;
ShellExecuteFn g_shellExecute = ShellExecuteA;

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    return g_messageBox(owner, text, caption, style);
}

HINSTANCE ShellOpen(HWND owner, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show) {
    return g_shellExecute(owner, verb, file, parameters, directory, show);
}

size_t ReadWindowText(HWND window, char* out, size_t size) {
    if (out == NULL || size == 0) return 0;
    out[0] = 0;
    if (window != NULL) {
        /* WM_GETTEXT takes an int-sized count; a larger buffer is simply not filled past it. */
        WPARAM room = size > 0x7FFFFFFF ? (WPARAM)0x7FFFFFFF : (WPARAM)size;
        SendMessageA(window, WM_GETTEXT, room, (LPARAM)out);
    }
    out[size - 1] = 0;
    return StrLenBounded(out, size);
}

size_t ReadControlText(HWND window, int id, char* out, size_t size) {
    return ReadWindowText(window != NULL ? GetDlgItem(window, id) : NULL, out, size);
}
