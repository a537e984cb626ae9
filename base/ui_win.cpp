/* Message boxes and shell requests through replaceable pointers: see ui.h. */
#include "base/ui.h"

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
