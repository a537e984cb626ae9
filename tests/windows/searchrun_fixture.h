// Shared set-up of the result-list and search-run tests: a cabinet tree written into a temporary
// directory (pass table, one cabinet, the scheme file), the host registry values pointed at it (and
// put back afterwards), the real main window opened on it, and a search run started the way
// "Lancer" starts it, with the test thread serving the window's messages until the run's thread
// has ended. The status bar can be watched (every part-2 text the run writes) and can act at the
// run's first progress report; with MakeReportsWait(1) the run is then blocked in its sent message,
// so that a cancel or a close lands at an exact document.
#ifndef SONDREL_TESTS_WINDOWS_SEARCHRUN_FIXTURE_H
#define SONDREL_TESTS_WINDOWS_SEARCHRUN_FIXTURE_H

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <stdio.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/search_state.h"
#include "host/cabinet.h"
#include "host/hdapi.h"
#include "resources/ids.h"
#include "search/hits.h"
#include "search/search_run.h"
#include "support/mainwin_support.h"

namespace searchrun {

inline std::string WinPathOfUnix(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

inline std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == NULL) return bytes;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    fclose(f);
    return bytes;
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Every part-2 text written to the status bar while a watch is installed, and an action run (once)
// at the first running-status text.
struct StatusWatch {
    std::vector<std::string> texts;
    std::function<void()> atFirstReport;
    bool fired = false;
    WNDPROC original = NULL;
    HWND bar = NULL;
};
inline StatusWatch*& CurrentWatch() {
    static StatusWatch* watch;
    return watch;
}
inline LRESULT CALLBACK WatchedStatusProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    StatusWatch* watch = CurrentWatch();
    if (m == SB_SETTEXTA && LOBYTE(LOWORD(wp)) == 2 && lp != 0) {
        std::string text = (const char*)lp;
        watch->texts.push_back(text);
        if (!watch->fired && text.compare(0, 7, "Total '") == 0 && watch->atFirstReport) {
            watch->fired = true;
            watch->atFirstReport();
        }
    }
    return CallWindowProcA(watch->original, w, m, wp, lp);
}

// Temporary cabinet tree, registry pointed at it, main window on it.
class SearchRunFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallRecorders();
        char tmp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof tmp, tmp), 0u);
        /* Wine hands out the same small process ids run after run, so a tree left by a run that was
         * killed may carry this run's name: the first name free is taken. */
        static int counter;
        for (int attempt = 0;; attempt++) {
            char name[80];
            snprintf(name, sizeof name, "searchrun-%lu-%d", (unsigned long)GetCurrentProcessId(), ++counter);
            root_ = std::string(tmp) + name;
            if (CreateDirectoryA(root_.c_str(), NULL)) break;
            ASSERT_LT(attempt, 1000) << root_;
        }
        dirs_.push_back(root_);
        MakeDir(root_ + "\\Cabinets");
        MakeDir(root_ + "\\Cabinets\\CAB1");
        MakeDir(root_ + "\\Programmes");
        MakeDir(root_ + "\\Empty");
        Write("Cabinets\\passes.txt", "CAB1|secret|Cabinet Test\r\n");
        saved_.emplace_back(new SavedRegistryValue(kPathsKey, "Cabinets"));
        saved_.emplace_back(new SavedRegistryValue(kPathsKey, "Programmes"));
        saved_.emplace_back(new SavedRegistryValue(kCabinetsKey, "Dernier"));
        saved_.emplace_back(new SavedRegistryValue(kCabinetsKey, "Cabinet Test"));
        saved_[0]->Set(root_ + "\\Cabinets");
        saved_[1]->Set(root_ + "\\Programmes");
        saved_[2]->Set("Cabinet Test");
        saved_[3]->Set("CAB1");
    }

    void TearDown() override {
        MakeReportsWait(0);
        Unwatch();
        if (dialog_ != NULL) DestroyMainWindow(dialog_);
        dialog_ = NULL;
        ReleaseTable();
        SearchShared.SearchControl.cancelRequest.store(0);
        saved_.clear();
        for (auto it = files_.rbegin(); it != files_.rend(); ++it)
            DeleteFileA(it->c_str());
        for (auto it = dirs_.rbegin(); it != dirs_.rend(); ++it)
            RemoveDirectoryA(it->c_str());
        UninstallRecorders();
    }

    static void ReleaseTable() {
        for (int i = 0; i < PATIENT_TABLE_SLOTS; i++) {
            if (Results.PatientHitsTable[i] != NULL) ReleasePatientHits(Results.PatientHitsTable[i]);
        }
        ClearHitTable();
    }

    void MakeDir(const std::string& dir) {
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL)) << dir;
        dirs_.push_back(dir);
    }
    void Write(const std::string& relative, const std::string& bytes) {
        std::string path = root_ + "\\" + relative;
        WriteFileBytes(path, bytes);
        files_.push_back(path);
    }
    void WriteCabinet(const std::string& body) { Write("Cabinets\\CAB1\\cabinet.txt", body); }
    void WriteSchemes(const std::string& ini) { Write("Programmes\\caisses.hdc", ini); }
    void PointProgramsAt(const std::string& dir) { saved_[1]->Set(dir); }

    // The main window, opened on the cabinet written so far, at the given host level.
    HWND OpenWindow(int level) {
        dialog_ = CreateMainWindow();
        EXPECT_NE(dialog_, (HWND)NULL);
        Host.HostApiLevel = level;
        return dialog_;
    }

    HWND List() const { return GetDlgItem(dialog_, IDC_RESULT_LIST); }
    int RowCount() const { return (int)SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0); }
    std::string Cell(int row, int column) const {
        char buf[600] = "";
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.iSubItem = column;
        item.pszText = buf;
        item.cchTextMax = sizeof buf;
        SendMessageA(List(), LVM_GETITEMTEXTA, row, (LPARAM)&item);
        return buf;
    }
    PatientHits* RowRecord(int row) const {
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (!SendMessageA(List(), LVM_GETITEMA, 0, (LPARAM)&item)) return NULL;
        return (PatientHits*)item.lParam;
    }
    std::string ControlText(int id) const {
        char buf[300] = "";
        GetDlgItemTextA(dialog_, id, buf, sizeof buf);
        return buf;
    }
    void ChooseMode(int radioId) {
        for (int id : {IDC_RADIO_LETTERS, IDC_RADIO_PRESCRIPTIONS, IDC_RADIO_FORMS, IDC_RADIO_FORM_TEXT})
            CheckDlgButton(dialog_, id, id == radioId ? BST_CHECKED : BST_UNCHECKED);
    }

    void Watch(std::function<void()> atFirstReport = nullptr) {
        Unwatch();
        watch_.reset(new StatusWatch);
        watch_->atFirstReport = atFirstReport;
        watch_->bar = GetDlgItem(dialog_, IDC_STATUS_BAR);
        CurrentWatch() = watch_.get();
        watch_->original = (WNDPROC)SetWindowLongPtrA(watch_->bar, GWLP_WNDPROC, (LONG_PTR)WatchedStatusProc);
    }
    void Unwatch() {
        if (watch_ && watch_->bar != NULL && IsWindow(watch_->bar))
            SetWindowLongPtrA(watch_->bar, GWLP_WNDPROC, (LONG_PTR)watch_->original);
        CurrentWatch() = NULL;
    }
    int RunningReports() const {
        int n = 0;
        for (const std::string& t : watch_->texts)
            n += t.compare(0, 7, "Total '") == 0;
        return n;
    }

    // Starts a run as "Lancer" does and serves the window until its thread has ended, then a little
    // longer for what it posted. Records whether a WM_CLOSE reached the window and `running` then.
    void RunAndWait(DWORD timeoutMs = 60000) {
        closesSeen_ = 0;
        runningAtClose_ = -1;
        ASSERT_EQ(LaunchDecision(), LAUNCH_START);
        HANDLE thread = CreateThread(NULL, 0, RunSearch, (LPVOID)dialog_, 0, NULL);
        ASSERT_NE(thread, (HANDLE)NULL);
        DWORD start = GetTickCount();
        bool ended = false;
        while (GetTickCount() - start < timeoutMs) {
            DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT);
            Pump();
            if (r == WAIT_OBJECT_0) {
                ended = true;
                break;
            }
        }
        CloseHandle(thread);
        ASSERT_TRUE(ended) << "the run did not end";
        DWORD after = GetTickCount();
        while (GetTickCount() - after < 50) {
            Pump();
            Sleep(5);
        }
    }
    void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_CLOSE && msg.hwnd == dialog_) {
                closesSeen_++;
                runningAtClose_ = SearchShared.SearchControl.running.load();
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    int ProgressPos() const { return (int)SendMessageA(GetDlgItem(dialog_, IDC_PROGRESS), PBM_GETPOS, 0, 0); }
    int ProgressMax() const {
        return (int)SendMessageA(GetDlgItem(dialog_, IDC_PROGRESS), PBM_GETRANGE, FALSE, 0);
    }

    std::string root_;
    HWND dialog_ = NULL;
    int closesSeen_ = 0;
    int runningAtClose_ = -1;
    std::unique_ptr<StatusWatch> watch_;
    std::vector<std::unique_ptr<SavedRegistryValue>> saved_;
    std::vector<std::string> files_;
    std::vector<std::string> dirs_;
};

} // namespace searchrun

#endif
