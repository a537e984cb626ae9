// Helpers of the export and import tests: a message-box recorder that answers Yes or No as told,
// a private temporary folder, whole-file reads and writes, the result list's rows, and the hit table
// emptied and filled the way the program does it.
#ifndef SONDREL_TESTS_WINDOWS_EXCHANGE_TEST_SUPPORT_H
#define SONDREL_TESTS_WINDOWS_EXCHANGE_TEST_SUPPORT_H

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "search/search_state.h"
#include "base/ui.h"
#include "host/hdapi.h"
#include "host_table_support.h"
#include "resources/ids.h"
#include "search/hits.h"
#include "search/result_list.h"
#include "support/mainwin_support.h"

namespace exchange_test {

// Answers for the next yes/no boxes, in order; Yes once they run out. Other boxes get IDOK.
inline std::deque<int>& Answers() {
    static std::deque<int> answers;
    return answers;
}

inline int WINAPI AnsweringBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    g_boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
    if ((style & MB_TYPEMASK) != MB_YESNO) return IDOK;
    if (Answers().empty()) return IDYES;
    int answer = Answers().front();
    Answers().pop_front();
    return answer;
}

inline void InstallAnsweringBox() {
    InstallRecorders();
    Answers().clear();
    g_messageBox = AnsweringBox;
}

// A folder of this process under the temporary folder, emptied when the fixture ends.
inline std::string TempFolder() {
    char base[MAX_PATH] = "";
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "sondrel-exchange-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), NULL);
    return folder + "\\";
}

inline void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(folder + name + "\\");
            } else {
                DeleteFileA((folder + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.substr(0, folder.size() - 1).c_str());
}

inline bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, NULL) && got > 0)
        bytes.append(buf, got);
    CloseHandle(f);
    return bytes;
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(f);
    ASSERT_EQ(written, (DWORD)bytes.size());
}

using Rows = std::vector<std::vector<std::string>>;

// Every row of list 217 as displayed: the nine cells of each.
inline Rows ListRows(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
    Rows rows;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int r = 0; r < count; r++) {
        std::vector<std::string> cells;
        for (int c = 0; c < RESULT_COLUMN_COUNT; c++) {
            char text[5000] = "";
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, r, (LPARAM)&item);
            cells.push_back(text);
        }
        rows.push_back(cells);
    }
    return rows;
}

// Empties the hit table and the list, releasing every record, as a new run does.
inline void ResetResults(HWND dialog) {
    if (dialog != NULL) SendDlgItemMessageA(dialog, IDC_RESULT_LIST, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < PATIENT_TABLE_SLOTS; i++) {
        if (Results.PatientHitsTable[i] != NULL) ReleasePatientHits(Results.PatientHitsTable[i]);
    }
    ClearHitTable();
}

// Fills list 217 from the hit table with the host tables opened and locked, as a run ends.
inline void FillFromTable(HWND dialog) {
    FillWithHostTables(dialog);
}

// Adds a record as a search would leave it: count, dates and authors text.
inline PatientHits* PutRecord(int patient, int count, PackedDate first, PackedDate last,
                              const char* authors) {
    PatientHits* r = RecordForPatient(patient);
    if (r == NULL) return NULL;
    r->occurrenceCount = count;
    r->firstDate = first;
    r->lastDate = last;
    snprintf(r->authors, sizeof r->authors, "%s", authors);
    Results.OccurrenceTotal += count;
    return r;
}

inline PackedDate Date(unsigned day, unsigned month, unsigned year) {
    return (year << 16) | (month << 8) | day;
}

// Answers the first "Choisissez un fichier" dialog that comes up: checks its owner, then types
// `name` (empty: presses Cancel). Runs on its own thread while the test thread is in the dialog.
struct DialogAnswerer {
    std::atomic<bool> seen{false};
    std::atomic<HWND> owner{NULL};
    std::thread thread;
    DialogAnswerer(std::string name) {
        thread = std::thread([this, name] {
            for (int i = 0; i < 400; i++) {
                HWND d = FindWindowA(NULL, "Choisissez un fichier");
                if (d != NULL && IsWindowVisible(d)) {
                    seen = true;
                    owner = GetWindow(d, GW_OWNER);
                    Sleep(200);
                    if (name.empty()) {
                        PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
                    } else {
                        HWND edit = GetDlgItem(d, 0x480); // edt1, the file-name field
                        if (edit == NULL) edit = GetDlgItem(d, 0x47c);
                        SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)name.c_str());
                        PostMessageA(d, WM_COMMAND, IDOK, 0);
                    }
                    // Should the dialog stay (a prompt of its own), it is cancelled so the test ends.
                    for (int j = 0; j < 120 && IsWindow(d); j++)
                        Sleep(25);
                    if (IsWindow(d)) PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
                    return;
                }
                Sleep(25);
            }
        });
    }
    ~DialogAnswerer() {
        if (thread.joinable()) thread.join();
    }
};

} // namespace exchange_test

#endif
