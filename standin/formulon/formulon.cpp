/* Formulon.exe, the stand-in form editor. It opens no window: it appends its whole command line and
 * CR LF to Formulon.log beside itself, then exits with 0, so that a test can read back exactly the
 * parameter line the program handed to ShellExecuteA. Two editors started at once append whole
 * lines, each with one write to a file opened for appending. */
#include <windows.h>

#include <string.h>

static int LogPath(char* path, DWORD size) {
    DWORD n = GetModuleFileNameA(NULL, path, size);
    if (n == 0 || n >= size) return 0;
    char* slash = strrchr(path, '\\');
    char* name = slash != NULL ? slash + 1 : path;
    const char* log = "Formulon.log";
    if ((size_t)(name - path) + strlen(log) + 1 > size) return 0;
    memcpy(name, log, strlen(log) + 1);
    return 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    char path[MAX_PATH];
    if (!LogPath(path, sizeof path)) return 0;
    const char* line = GetCommandLineA();
    size_t length = strlen(line);
    HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return 0;
    HGLOBAL h = GlobalAlloc(GMEM_FIXED, length + 2);
    char* record = (char*)h;
    if (record != NULL) {
        memcpy(record, line, length);
        record[length] = '\r';
        record[length + 1] = '\n';
        DWORD written;
        WriteFile(f, record, (DWORD)(length + 2), &written, NULL);
        GlobalFree(h);
    }
    CloseHandle(f);
    return 0;
}
