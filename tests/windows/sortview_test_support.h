// Helpers of the sort and viewer tests: the user-interface set-up, a throw-away cabinet served by the
// stand-in host, list-view readers and a message pump.
#ifndef SONDREL_TESTS_WINDOWS_SORTVIEW_TEST_SUPPORT_H
#define SONDREL_TESTS_WINDOWS_SORTVIEW_TEST_SUPPORT_H

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "base/ui.h"
#include "support/mainwin_support.h"
#include "host/hdapi.h"

namespace sortview {

// The instance handle the program's resources are loaded from, the common controls and a session.
inline void EnsureUserInterface() {
    g_instance = GetModuleHandleA(NULL);
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HDOpenSession(1);
}

// Processes this thread's pending messages for at least `ms` milliseconds.
inline void Pump(int ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms > 0) Sleep(2);
    } while ((int)(GetTickCount() - start) < ms);
}

// A cabinet written into a fresh temporary directory and opened through the stand-in host; closed
// and deleted again on destruction.
struct TempCabinet {
    std::string root;
    std::vector<std::string> files, dirs;

    TempCabinet() {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof tmp, tmp);
        static int counter;
        char name[64];
        snprintf(name, sizeof name, "sortview-%lu-%d", (unsigned long)GetCurrentProcessId(), ++counter);
        root = std::string(tmp) + name;
        CreateDirectoryA(root.c_str(), NULL);
        dirs.push_back(root);
    }
    ~TempCabinet() {
        HDCloseCabinet();
        for (auto it = files.rbegin(); it != files.rend(); ++it)
            DeleteFileA(it->c_str());
        for (auto it = dirs.rbegin(); it != dirs.rend(); ++it)
            RemoveDirectoryA(it->c_str());
    }
    std::string Write(const std::string& relative, const std::string& bytes) {
        std::string path = root + "\\" + relative;
        size_t slash = relative.rfind('\\');
        if (slash != std::string::npos) {
            std::string dir = root + "\\" + relative.substr(0, slash);
            if (CreateDirectoryA(dir.c_str(), NULL)) dirs.push_back(dir);
        }
        FILE* f = fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr) << path;
        if (f != NULL) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        files.push_back(path);
        return path;
    }
    // Writes CAB1\cabinet.txt and opens it; true on success.
    bool Open(const std::string& body) {
        Write("CAB1\\cabinet.txt", body);
        HDSetPathCabinet(root.c_str());
        return HDOpenCabinet(root.c_str(), "Cabinet Un", "CAB1", "") != 0;
    }
};

inline std::string CellText(HWND list, int row, int column) {
    char buf[600] = {0};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return buf;
}

inline LPARAM RowData(HWND list, int row) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
    return item.lParam;
}

inline int RowCount(HWND list) {
    return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
}

// One column of every row, top to bottom.
inline std::vector<std::string> ColumnTexts(HWND list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < RowCount(list); row++)
        texts.push_back(CellText(list, row, column));
    return texts;
}

// The header image of a column as the list view reports it.
inline int ColumnImage(HWND list, int column) {
    LVCOLUMNA header = {};
    header.mask = LVCF_IMAGE;
    header.iImage = -7;
    if (!SendMessageA(list, LVM_GETCOLUMNA, (WPARAM)column, (LPARAM)&header)) return -99;
    return header.iImage;
}

// The header control's own item: its image, and whether it is drawn (HDF_IMAGE).
inline int HeaderItemImage(HWND list, int column, bool* drawn) {
    HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
    HDITEMA item = {};
    item.mask = HDI_IMAGE | HDI_FORMAT;
    item.iImage = -7;
    if (!SendMessageA(header, HDM_GETITEMA, (WPARAM)column, (LPARAM)&item)) return -99;
    if (drawn != NULL) *drawn = (item.fmt & HDF_IMAGE) != 0;
    return item.iImage;
}

} // namespace sortview

#endif
