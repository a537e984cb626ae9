// Helpers of the main-window tests: see mainwin_support.h.
#include "support/mainwin_support.h"

#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "base/ui.h"
#include "search/search_state.h"
#include "base/ui.h"
#include "host/hdapi.h"
#include "resources/ids.h"

std::vector<RecordedBox> g_boxes;
std::vector<RecordedShell> g_shellCalls;

const char* const kPathsKey = "Software\\IMAGINE Editions\\HelloDOC\\Chemins";
const char* const kCabinetsKey = "Software\\IMAGINE Editions\\HelloDOC\\Cabinets";

static int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    g_boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
    return IDOK;
}

static HINSTANCE WINAPI RecordShell(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                    INT show) {
    g_shellCalls.push_back({verb ? verb : "", file ? file : "", parameters ? parameters : "",
                            directory ? directory : "", directory != NULL, show});
    return (HINSTANCE)33;
}

void InstallRecorders() {
    g_boxes.clear();
    g_shellCalls.clear();
    g_messageBox = RecordBox;
    g_shellExecute = RecordShell;
}

void UninstallRecorders() {
    g_messageBox = MessageBoxA;
    g_shellExecute = ShellExecuteA;
}

void PumpMessages(HWND dialog, int ms) {
    // Bounded by time as well as by the queue: a window that keeps posting itself messages (a
    // close retried during a search's start) must not hold the test here.
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        int handled = 0;
        while (handled < 1000 && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            handled++;
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if ((int)(GetTickCount() - start) > ms + 200) break;
        }
        if ((int)(GetTickCount() - start) >= ms) break;
        Sleep(5);
    }
}

namespace {
// One host session and the common controls for the whole test program, as start-up does.
struct MainWindowEnvironment : ::testing::Environment {
    void SetUp() override {
        g_instance = GetModuleHandleA(NULL);
        INITCOMMONCONTROLSEX controls = {sizeof controls,
                                         ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        HDOpenSession(1);
    }
    void TearDown() override { HDCloseSession(); }
};
::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MainWindowEnvironment);
} // namespace

HWND CreateMainWindow() {
    SearchShared.SearchControl.running.store(0);
    SearchShared.SearchControl.cancelRequest.store(0);
    SearchShared.SearchControl.starting.store(0);
    HWND dialog = CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    PumpMessages(dialog, 50);
    return dialog;
}

void DestroyMainWindow(HWND dialog) {
    if (dialog == NULL || !IsWindow(dialog)) return;
    SearchShared.SearchControl.running.store(0);
    SearchShared.SearchControl.starting.store(0);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    DestroyWindow(dialog);
    PumpMessages(NULL, 0);
}

RECT ClientRectOf(HWND dialog, int id) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(NULL, dialog, (POINT*)&r, 2);
    return r;
}

SavedRegistryValue::SavedRegistryValue(const char* k, const char* n) : key(k), name(n) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, k, 0, KEY_READ, &h) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExA(h, n, NULL, &type, NULL, &size) == ERROR_SUCCESS) {
        data.resize(size);
        existed = RegQueryValueExA(h, n, NULL, &type, data.data(), &size) == ERROR_SUCCESS;
        data.resize(size);
    }
    RegCloseKey(h);
}

SavedRegistryValue::~SavedRegistryValue() {
    HKEY h;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &h, NULL) !=
        ERROR_SUCCESS)
        return;
    if (existed)
        RegSetValueExA(h, name.c_str(), 0, type, data.data(), (DWORD)data.size());
    else
        RegDeleteValueA(h, name.c_str());
    RegCloseKey(h);
}

void SavedRegistryValue::SetRaw(DWORD valueType, const void* bytes, size_t size) const {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &h, NULL),
              ERROR_SUCCESS);
    RegSetValueExA(h, name.c_str(), 0, valueType, (const BYTE*)bytes, (DWORD)size);
    RegCloseKey(h);
}

void SavedRegistryValue::Set(const std::string& text) const {
    SetRaw(REG_SZ, text.c_str(), text.size() + 1);
}

void SavedRegistryValue::Remove() const {
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_WRITE, &h) != ERROR_SUCCESS) return;
    RegDeleteValueA(h, name.c_str());
    RegCloseKey(h);
}

std::string StatusText(HWND dialog, int part) {
    HWND bar = GetDlgItem(dialog, IDC_STATUS_BAR);
    if (bar == NULL) return "<no bar>";
    LRESULT info = SendMessageA(bar, SB_GETTEXTLENGTHA, part, 0);
    std::string text(LOWORD(info) + 1, '\0');
    SendMessageA(bar, SB_GETTEXTA, part, (LPARAM)&text[0]);
    text.resize(LOWORD(info));
    return text;
}
