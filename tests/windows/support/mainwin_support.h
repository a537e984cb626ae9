// Shared helpers of the main-window tests: message and shell recorders, a registry value saver,
// the real dialog 201 created modeless with MainDialogProc, and a message pump.
#ifndef SONDREL_TESTS_WINDOWS_MAINWIN_SUPPORT_H
#define SONDREL_TESTS_WINDOWS_MAINWIN_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

struct RecordedShell {
    std::string verb;
    std::string file;
    std::string parameters;
    std::string directory;
    bool directoryGiven;
    int show;
};

extern std::vector<RecordedBox> g_boxes;
extern std::vector<RecordedShell> g_shellCalls;

// Points g_messageBox and g_shellExecute at the recorders (and clears them); Uninstall restores the
// system functions.
void InstallRecorders();
void UninstallRecorders();

// Processes every pending message of this thread, for `ms` milliseconds at least.
void PumpMessages(HWND dialog, int ms = 0);

// Creates dialog 201 modeless with MainDialogProc, after resetting the shared search state.
HWND CreateMainWindow();
// Ends and destroys it (with no search running).
void DestroyMainWindow(HWND dialog);

// A control's rectangle in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, int id);

// Saves a string value of HKCU\<key> (or its absence) and puts it back when destroyed.
struct SavedRegistryValue {
    std::string key, name;
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
    SavedRegistryValue(const char* key, const char* name);
    ~SavedRegistryValue();
    void Set(const std::string& text) const;
    void SetRaw(DWORD valueType, const void* bytes, size_t size) const;
    void Remove() const;
};

// Status-bar part text (remote-free: the bar is in this process).
std::string StatusText(HWND dialog, int part);

extern const char* const kPathsKey;
extern const char* const kCabinetsKey;

#endif
