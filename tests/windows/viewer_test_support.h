// The viewer tests' harness: dialog 300 run modally by OpenDocumentViewer, driven from inside its own
// modal loop by a thread timer that finds the viewer, runs the test's steps one per tick, then posts
// WM_CLOSE; and readers of the viewer's controls.
#ifndef SONDREL_TESTS_WINDOWS_VIEWER_TEST_SUPPORT_H
#define SONDREL_TESTS_WINDOWS_VIEWER_TEST_SUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/ids.h"
#include "results/viewer.h"
#include "sortview_test_support.h"

namespace viewertest {

using Step = std::function<void(HWND)>;

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    DWORD start = 0;
    bool busy = false;
};
inline Script* g_script = nullptr;

inline BOOL CALLBACK FindViewerProc(HWND window, LPARAM found) {
    HWND combo = GetDlgItem(window, IDC_VIEWER_DOCUMENTS);
    char cls[32] = {0};
    if (combo != NULL && GetClassNameA(combo, cls, sizeof cls) && lstrcmpiA(cls, "ComboBox") == 0) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

inline HWND FindViewer() {
    HWND found = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindViewerProc, (LPARAM)&found);
    return found;
}

inline VOID CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* s = g_script;
    if (s == nullptr || s->busy) return;
    HWND viewer = FindViewer();
    if (viewer == NULL) return;
    s->busy = true;
    if (GetTickCount() - s->start > 30000) {
        ADD_FAILURE() << "viewer script timed out";
        PostMessageA(viewer, WM_CLOSE, 0, 0);
    } else if (s->next < s->steps.size()) {
        s->steps[s->next++](viewer);
    } else {
        PostMessageA(viewer, WM_CLOSE, 0, 0);
    }
    s->busy = false;
}

// Opens the viewer and runs the steps inside it, one per timer tick, then closes it.
inline void RunViewer(PatientHits* record, int mode, std::vector<Step> steps) {
    Script script;
    script.steps = std::move(steps);
    script.start = GetTickCount();
    g_script = &script;
    UINT_PTR timer = SetTimer(NULL, 0, 25, Tick);
    OpenDocumentViewer(NULL, record, mode);
    KillTimer(NULL, timer);
    g_script = nullptr;
    sortview::Pump(0);
    EXPECT_EQ(script.next, script.steps.size()) << "the viewer closed before every step ran";
    EXPECT_EQ(FindViewer(), (HWND)NULL);
}

inline std::string Caption(HWND viewer) {
    char buf[1024] = {0};
    GetWindowTextA(viewer, buf, sizeof buf);
    return buf;
}

inline HWND Combo(HWND viewer) {
    return GetDlgItem(viewer, IDC_VIEWER_DOCUMENTS);
}

inline std::vector<std::string> Entries(HWND viewer) {
    std::vector<std::string> entries;
    int n = (int)SendMessageA(Combo(viewer), CB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        char buf[600] = {0};
        SendMessageA(Combo(viewer), CB_GETLBTEXT, i, (LPARAM)buf);
        entries.push_back(buf);
    }
    return entries;
}

// The control's own visibility (the dialog itself may not be shown yet at the first tick).
inline bool HasVisibleStyle(HWND control) {
    return control != NULL && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

inline HWND RichText(HWND viewer) {
    return FindWindowExA(viewer, NULL, "RichEdit", NULL);
}

inline std::string ShownText(HWND viewer) {
    HWND rich = RichText(viewer);
    if (rich == NULL) return "<no control>";
    char buf[4096] = {0};
    GetWindowTextA(rich, buf, sizeof buf);
    return buf;
}

inline void Choose(HWND viewer, int entry) {
    SendMessageA(Combo(viewer), CB_SETCURSEL, entry, 0);
    SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_DOCUMENTS, CBN_SELCHANGE), (LPARAM)Combo(viewer));
}

} // namespace viewertest

#endif
