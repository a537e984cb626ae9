/* searchrun_bench.exe: times a search run under Wine, whole and by phases.
 *
 *   searchrun_bench MODE TEXT [FILL_PATIENTS [REPEATS [RUNS [ONE_IN]]]]
 *     MODE           0 letters ("Courriers"), 1 prescriptions ("Ordonnances"), 3 form data
 *     TEXT           the search text
 *     FILL_PATIENTS  patients for the separate FillResultList timing (default 10000; 0: none)
 *     REPEATS        passes of each phase, the fastest kept (default 3; 0: the real runs only)
 *     RUNS           real runs (default 2, at least 2)
 *     ONE_IN         the stand-in host's clock times about one operation in ONE_IN, chosen at
 *                    random, and estimates the rest (default 1: every one). A sample leaves the
 *                    operations nearly free of the clock's own cost, which the floor line below
 *                    shows, but a run's estimate then swings with the few operations that the
 *                    thread was switched out of: use it for the floor, not for single runs
 *
 * The Wine prefix must point at a cabinet (standin/setup-prefix.sh). The tool opens the real main
 * window (dialog 201, which opens the current cabinet), then:
 *   1. runs the real RunSearch on its own thread as "Lancer" does, this thread serving the window,
 *      RUNS times, and prints for each run its wall time (until its list is drawn), the summary it
 *      wrote, its phases as this thread sees its messages to three controls arrive and, with the
 *      stand-in host, its time beyond the host's own time in that run;
 *   2. replays the run's phases without the window, each timed on its own:
 *        keys       the index walks with GetDossiersType (host) and the key sort (ours);
 *        reads      every document read, its block's size asked and the block freed, nothing
 *                   else (host: the read calls and the calls on the handles they return);
 *        scan       reads + a plain folded scan of each whole text for the pattern (FindFolded);
 *        match      reads + MatchDocument as the run calls it (sections, search, hit recording);
 *      so that scan - reads is the cost of scanning the texts and match - scan what the program does
 *      beyond scanning them; then one more pass that times each document's parts with the
 *      processor's time-stamp counter (differences of whole passes drown in the host's spread on a busy
 *      machine): the host's read call, GlobalLock, GlobalSize, the match, the hit recording,
 *      GlobalUnlock, GlobalFree, and a second scan of the text just matched;
 *      and then each run's time beyond the host's own (the reads pass, the index walks, opening and
 *      closing the tables and the identity reads of the run's fill), as a share of it;
 *   3. fills the list for FILL_PATIENTS patients of the cabinet (one hit each) from a worker thread,
 *      as the run does, at the current host level.
 * Nothing here is part of the program; it links the program's own code. */
#include <windows.h>

#include <commctrl.h>
#include <intrin.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "app/main_dialog.h"
#include "base/str.h"
#include "base/ui.h"
#include "host/cabinet.h"
#include "host/hdapi.h"
#include "host/records.h"
#include "resources/ids.h"
#include "search/fold.h"
#include "search/hits.h"
#include "search/match.h"
#include "search/match_win.h"
#include "search/result_list.h"
#include "search/search_run.h"
#include "search/search_run_plan.h"
#include "search/search_state.h"

static LARGE_INTEGER Frequency;

static double Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)Frequency.QuadPart;
}

static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

/* When the last OnWorker started its thread. */
static double g_workerStarted;

/* Runs `proc` on a thread while this thread serves the windows; returns the wall time, up to the
 * end of what the windows had to do once the thread ended (the paint of what it changed). */
static double OnWorker(LPTHREAD_START_ROUTINE proc, void* argument) {
    double start = Now();
    g_workerStarted = start;
    HANDLE thread = CreateThread(NULL, 0, proc, argument, 0, NULL);
    if (thread == NULL) return -1;
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        Pump();
        if (r == WAIT_OBJECT_0) break;
    }
    CloseHandle(thread);
    return Now() - start;
}

/* The stand-in host's own clock (StandinTimeCalls, StandinTimedCalls: test-only exports of the
 * stand-in HDAPI5.DLL), which times its operations inside the real run itself; NULL with another
 * library. */
typedef void (*TimeCallsFn)(int on);
typedef double (*TimedCallsFn)(long* calls, double* stampSeconds);
static TimeCallsFn g_hostTimeCalls;
static TimedCallsFn g_hostTimedCalls;
static int g_clockOneIn = 1; /* the clock times one operation in about this many (ONE_IN) */

static void FindHostClock() {
    HMODULE host = GetModuleHandleA("HDAPI5.DLL");
    g_hostTimeCalls = host != NULL ? (TimeCallsFn)(void*)GetProcAddress(host, "StandinTimeCalls") : NULL;
    g_hostTimedCalls = host != NULL ? (TimedCallsFn)(void*)GetProcAddress(host, "StandinTimedCalls") : NULL;
    if (g_hostTimedCalls == NULL) g_hostTimeCalls = NULL;
}

/* The host's seconds from its clock's estimate over `calls` operations. Of a timed operation's two
 * clock reads (`stamp` seconds each) about one falls inside the operation's time and one outside.
 * The estimate scales the timed operations up to all of them, their inside reads with them, so one
 * read for every operation is taken off the host; off the wall time set against it come the two
 * reads of each timed operation, about one in g_clockOneIn. */
static double HostSeconds(double clocked, long calls, double stamp) {
    return clocked - stamp * (double)calls;
}

/* What of `wall` lies beyond the host's time in it (see HostSeconds). */
static double BeyondHost(double wall, double clocked, long calls, double stamp) {
    return wall - 2.0 * stamp * (double)calls / (double)g_clockOneIn - HostSeconds(clocked, calls, stamp);
}

/* The real run's phases as this thread sees them. Three of the window's controls are subclassed
 * (hooks would see every message, and make each one dearer under Wine): button 219, whose two
 * captions open and close the run; the progress bar, whose range follows the key collection and
 * whose last position comes before the fill; the status bar, whose last text is the fill's summary.
 * At each mark the host's clock is read too, when it has one. */
enum { MARK_STARTED, MARK_KEYS, MARK_SCANNED, MARK_FILLED, MARK_ENDED, MARK_COUNT };
static double g_marks[MARK_COUNT];
static double g_hostMarks[MARK_COUNT];   /* the host's seconds so far, as its clock gives them */
static long g_hostCallMarks[MARK_COUNT]; /* the host's operations so far */
static int g_captions;
static WNDPROC g_buttonProc, g_progressProc, g_statusProc;

static void Mark(int mark) {
    g_marks[mark] = Now();
    if (g_hostTimeCalls == NULL) return;
    long calls = 0;
    g_hostMarks[mark] = g_hostTimedCalls(&calls, NULL);
    g_hostCallMarks[mark] = calls;
}

/* The first caption is noted when it arrives, the second ("Lancer") once the button has it: the
 * run's last waiting message. */
static LRESULT CALLBACK WatchButton(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    int caption = message == WM_SETTEXT && g_captions < 2 ? ++g_captions : 0;
    if (caption == 1) Mark(MARK_STARTED);
    LRESULT result = CallWindowProcA(g_buttonProc, control, message, wParam, lParam);
    if (caption == 2) Mark(MARK_ENDED);
    return result;
}

static LRESULT CALLBACK WatchProgress(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_progressProc, control, message, wParam, lParam);
    if (message == PBM_SETRANGE32) Mark(MARK_KEYS);
    if (message == PBM_SETPOS) Mark(MARK_SCANNED);
    return result;
}

static LRESULT CALLBACK WatchStatus(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_statusProc, control, message, wParam, lParam);
    if (message == SB_SETTEXTA) Mark(MARK_FILLED);
    return result;
}

static WNDPROC Subclass(HWND window, int id, WNDPROC proc) {
    return (WNDPROC)SetWindowLongPtrA(GetDlgItem(window, id), GWLP_WNDPROC, (LONG_PTR)proc);
}

/* One real run's times: until it ended (its button relabelled), and until its list was shown; the
 * host's own time inside the run (-1 when the host has no clock), its timed operations and what
 * one reading of the host's clock costs. */
typedef struct RunTimes {
    double ended, shown;
    double host;
    long hostCalls;
    double stamp;
} RunTimes;

static RunTimes TimeRealRun(HWND window) {
    for (int i = 0; i < MARK_COUNT; i++) {
        g_marks[i] = g_hostMarks[i] = 0;
        g_hostCallMarks[i] = 0;
    }
    g_captions = 0;
    g_buttonProc = Subclass(window, IDC_LAUNCH, WatchButton);
    g_progressProc = Subclass(window, IDC_PROGRESS, WatchProgress);
    g_statusProc = Subclass(window, IDC_STATUS_BAR, WatchStatus);
    if (g_hostTimeCalls != NULL) g_hostTimeCalls(g_clockOneIn);
    LaunchDecision();
    double shown = OnWorker(RunSearch, window);
    long hostCalls = 0;
    double stamp = 0;
    double host = g_hostTimeCalls != NULL ? g_hostTimedCalls(&hostCalls, &stamp) : -1.0;
    if (g_hostTimeCalls != NULL) g_hostTimeCalls(0);
    Subclass(window, IDC_LAUNCH, g_buttonProc);
    Subclass(window, IDC_PROGRESS, g_progressProc);
    Subclass(window, IDC_STATUS_BAR, g_statusProc);
    double at[MARK_COUNT];
    for (int i = 0; i < MARK_COUNT; i++)
        at[i] = g_marks[i] - g_workerStarted;
    printf("  phases: start %.3f, release, open and keys %.3f, scan %.3f, fill %.3f, end %.3f: the run ended "
           "at %.3f s, its list was shown at %.3f s\n",
           at[MARK_STARTED], at[MARK_KEYS] - at[MARK_STARTED], at[MARK_SCANNED] - at[MARK_KEYS],
           at[MARK_FILLED] - at[MARK_SCANNED], at[MARK_ENDED] - at[MARK_FILLED], at[MARK_ENDED], shown);
    if (host >= 0) {
        /* Each phase beyond the host's time in it. The phases end at the last mark, so they add up
         * to the whole until it ended, less what comes before the first mark. */
        double beyond[MARK_COUNT];
        for (int i = 1; i < MARK_COUNT; i++)
            beyond[i] = BeyondHost(at[i] - at[i - 1], g_hostMarks[i] - g_hostMarks[i - 1],
                                   g_hostCallMarks[i] - g_hostCallMarks[i - 1], stamp);
        printf(
            "  beyond the host in each phase: release, open and keys %.3f, scan %.3f, fill %.3f, end %.3f\n",
            beyond[MARK_KEYS], beyond[MARK_SCANNED], beyond[MARK_FILLED], beyond[MARK_ENDED]);
    }
    RunTimes times = {at[MARK_ENDED], shown, host, hostCalls, stamp};
    return times;
}

/* One run against the host's time inside it, as the host's own clock saw it. Here the calls on the
 * memory handles the reads return are the program's, and the host's time includes anything that
 * slowed the host in that run (the interface thread, the X server and the Wine server on the same
 * processors). */
static void PrintAgainstHostInRun(int round, const RunTimes* run) {
    if (run->host < 0) return;
    double host = HostSeconds(run->host, run->hostCalls, run->stamp);
    double ended = BeyondHost(run->ended, run->host, run->hostCalls, run->stamp);
    double shown = BeyondHost(run->shown, run->host, run->hostCalls, run->stamp);
    printf("  run %d against the host's time in the same run, %.3f s (%ld operations): beyond it until it "
           "ended %.3f s (%.0f %%), until its list was shown %.3f s (%.0f %%)\n",
           round, host, run->hostCalls, ended, 100.0 * ended / host, shown, 100.0 * shown / host);
}

static void ReleaseTable() {
    for (int i = 0; i < PATIENT_TABLE_SLOTS; i++)
        if (Results.PatientHitsTable[i] != NULL) ReleasePatientHits(Results.PatientHitsTable[i]);
    ClearHitTable();
}

typedef struct Keys {
    std::vector<uint32_t> folder, file;
} Keys;

static void Walk(int index, int fileFlag, int wanted, std::vector<uint32_t>* out) {
    char keyText[KEY_TEXT_SIZE];
    for (DWORD key = HDFirstKey(index, keyText); key != 0; key = HDNextKey(index, keyText))
        if (GetDossiersType(keyText, fileFlag) == wanted) out->push_back((uint32_t)key);
}

enum { PASS_READS = 0, PASS_SCAN = 1, PASS_MATCH = 2, PASS_PARTS = 3 };

/* The parts of one document's read and match, summed over a PASS_PARTS pass, in counter ticks:
 * the host's read call; GlobalLock; GlobalSize; the terminator written at the block's end, the
 * match of the text (MatchDocumentText) and the recording of a hit, as MatchDocument does them;
 * GlobalUnlock; GlobalFree; and apart, one more FindFolded of the
 * text just matched (so in the cache), to tell the scan's own cost from the cost of reaching the
 * text the host has just written. */
enum {
    PART_READ,
    PART_LOCK,
    PART_SIZE,
    PART_MATCH,
    PART_RECORD,
    PART_UNLOCK,
    PART_FREE,
    PART_RESCAN,
    PART_WRITE,
    PART_COUNT
};
static long long g_parts[PART_COUNT];
static long long g_readStart;

/* The parts pass reads the processor's time-stamp counter: under Wine a read of the performance
 * counter costs 80 ns in a tight loop and more between other calls, which inflated every part of
 * every document beyond what taking a fixed cost off could mend. */
static long long Ticks() {
    return (long long)__rdtsc();
}

/* Ticks a second, against the performance counter over 100 ms. */
static double g_tickFrequency;

static void CalibrateTicks() {
    long long ticks = Ticks();
    double start = Now();
    Sleep(100);
    g_tickFrequency = (double)(Ticks() - ticks) / (Now() - start);
}

/* The host's read call, stamped when PASS_PARTS times it. */
#define TIMED_READ(call) (g_readStart = Ticks(), (call))

typedef struct Pass {
    int family;
    const char* pattern;
    void* folderRecord;
    long long bytes;
    long documents;
} Pass;

static void Consume(Pass* pass, HGLOBAL text, int how, const void* header, DWORD key, int fromFile,
                    int forms) {
    if (text == NULL) return;
    pass->documents++;
    if (how == PASS_PARTS) {
        long long t0 = Ticks();
        g_parts[PART_READ] += t0 - g_readStart;
        char* p = (char*)GlobalLock(text);
        long long t1 = Ticks();
        SIZE_T size = p != NULL ? GlobalSize(text) : 0;
        long long t2 = Ticks();
        if (size > 0) {
            p[size - 1] = 0;
            long long w = Ticks();
            g_parts[PART_WRITE] += w - t2;
            g_parts[PART_MATCH] -= w - t2;
            if (MatchDocumentText(p, pass->pattern, forms)) {
                long long r = Ticks();
                RecordDocumentHit(header, (uint32_t)key, fromFile);
                g_parts[PART_RECORD] += Ticks() - r;
            }
        }
        long long t3 = Ticks();
        if (size > 0) {
            volatile const char* again = FindFolded(p, pass->pattern);
            (void)again;
        }
        /* The rescan ends here and stays out of the match part (it once ran on into it). */
        long long rescanned = Ticks();
        g_parts[PART_RESCAN] += rescanned - t3;
        if (p != NULL) GlobalUnlock(text);
        long long t4 = Ticks();
        GlobalFree(text);
        long long t5 = Ticks();
        g_parts[PART_LOCK] += t1 - t0;
        g_parts[PART_SIZE] += t2 - t1;
        g_parts[PART_MATCH] += t3 - t2;
        g_parts[PART_UNLOCK] += t4 - rescanned;
        g_parts[PART_FREE] += t5 - t4;
        return;
    }
    if (how == PASS_MATCH) {
        MatchDocument(text, pass->pattern, header, key, fromFile, forms);
        return;
    }
    const char* p = (const char*)GlobalLock(text);
    /* The run asks every block's size (MatchDocument): a call on the host's handle, timed here. */
    volatile SIZE_T size = p != NULL ? GlobalSize(text) : 0;
    (void)size;
    if (p != NULL && how == PASS_SCAN) {
        pass->bytes += (long long)strlen(p);
        volatile const char* found = FindFolded(p, pass->pattern);
        (void)found;
    }
    GlobalUnlock(text);
    GlobalFree(text);
}

static void RunPass(Pass* pass, const Keys* keys, int how) {
    unsigned char letter[LETTER_HEADER_SIZE], prescription[PRESCRIPTION_HEADER_SIZE];
    char keyText[KEY_TEXT_SIZE];
    int forms = pass->family == FAMILY_FORMS;
    HDFirstKey(INDEX_FOLDERS, keyText);
    for (uint32_t key : keys->folder) {
        ReadDossiers2(key, pass->folderRecord);
        int type = RecordU8(pass->folderRecord, HEADER_TYPE);
        if (type == DOC_TYPE_LETTER)
            Consume(pass, TIMED_READ(ReadXMLCourriers(key, letter, 0)), how, letter, key, 0, forms);
        else if (type == DOC_TYPE_PRESCRIPTION)
            Consume(pass, TIMED_READ(ReadXMLOrdonnances(key, prescription, 0)), how, prescription, key, 0, 0);
    }
    HDFirstKey(FileIndexOf(pass->family), keyText);
    for (uint32_t key : keys->file) {
        if (pass->family == FAMILY_PRESCRIPTIONS)
            Consume(pass, TIMED_READ(ReadXMLFileOrdonnances(key, prescription)), how, prescription, key, 1,
                    0);
        else
            Consume(pass, TIMED_READ(ReadXMLFileCourriers(key, letter)), how, letter, key, 1, forms);
    }
}

/* The patient numbers of Results.PatientHitsTable's records, in order. */
static std::vector<int32_t> ListedPatients() {
    std::vector<int32_t> numbers;
    for (int32_t number = 0; number < PATIENT_TABLE_SLOTS; number++)
        if (Results.PatientHitsTable[number] != NULL) numbers.push_back(number);
    return numbers;
}

/* The host's share of a fill: the identity and scheme reads (host level 2) of every listed
 * patient, nothing else; in seconds. */
static double HostShareOfFill(const std::vector<int32_t>& numbers, void* patient, void* extensions) {
    char keyText[KEY_TEXT_SIZE];
    double start = Now();
    for (int32_t number : numbers) {
        SetRecordU32(patient, PATIENT_NUMBER, (uint32_t)number);
        ReadPatients(patient, 1);
        GetAge(RecordU32(patient, PATIENT_BIRTH_DATE), Today());
        MakeExtensionsKey(keyText, number);
        HGLOBAL xml = ReadXMLExtensions(HDFindKey(INDEX_FOLDERS, keyText), extensions);
        if (xml != NULL) {
            XGetInt(xml, EXTENSIONS_SCHEME_FIELD);
            GlobalFree(xml);
        }
    }
    return Now() - start;
}

typedef struct FillJob {
    HWND window;
    void *patient, *sesam, *extensions;
} FillJob;

static DWORD WINAPI FillOnWorker(LPVOID argument) {
    FillJob* job = (FillJob*)argument;
    FillResultList(job->window, job->patient, job->sesam, job->extensions, GetTickCount());
    return 0;
}

static DWORD WINAPI ReleaseOnWorker(LPVOID window) {
    ReleaseListedRecords((HWND)window);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: searchrun_bench MODE TEXT [FILL_PATIENTS [REPEATS [RUNS [ONE_IN]]]]\n");
        return 2;
    }
    int mode = atoi(argv[1]);
    const char* text = argv[2];
    int fillPatients = argc > 3 ? atoi(argv[3]) : 10000;
    int repeats = argc > 4 && atoi(argv[4]) >= 0 ? atoi(argv[4]) : 3;
    int rounds = argc > 5 && atoi(argv[5]) > 2 ? atoi(argv[5]) : 2;
    if (argc > 6 && atoi(argv[6]) >= 1) g_clockOneIn = atoi(argv[6]);
    QueryPerformanceFrequency(&Frequency);
    CalibrateTicks();
    FindHostClock();
    g_instance = GetModuleHandleA(NULL);
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HDOpenSession(1);

    double t0 = Now();
    HWND window = CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    Pump();
    printf("main window with cabinet opening: %.3f s (host level %d)\n", Now() - t0, (int)Host.HostApiLevel);
    if (window == NULL) return 1;
    if (g_hostTimeCalls != NULL && g_clockOneIn == 1) printf("the host's clock times every operation\n");
    if (g_hostTimeCalls != NULL && g_clockOneIn > 1)
        printf("the host's clock times about one operation in %d, at random, and estimates the rest\n",
               g_clockOneIn);

    /* 1. The real run. */
    int radio[] = {IDC_RADIO_LETTERS, IDC_RADIO_PRESCRIPTIONS, IDC_RADIO_FORMS, IDC_RADIO_FORM_TEXT};
    for (int id : radio)
        CheckDlgButton(window, id, id == radio[mode & 3] ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(window, IDC_SEARCH_TEXT, text);
    /* The first run reads the texts from disk; the second finds them in the host's memory and
     * first releases the rows of the first. */
    RunTimes runs[2];
    for (int round = 1; round <= rounds; round++) {
        RunTimes run = TimeRealRun(window);
        if (round <= 2) runs[round - 1] = run;
        char summary[300] = "";
        SendMessageA(GetDlgItem(window, IDC_STATUS_BAR), SB_GETTEXTA, 2, (LPARAM)summary);
        int rows = (int)SendMessageA(GetDlgItem(window, IDC_RESULT_LIST), LVM_GETITEMCOUNT, 0, 0);
        printf("RunSearch mode %d \"%s\", run %d: %.3f s wall, %d rows, summary \"%s\"\n", mode, text, round,
               run.shown, rows, summary);
        PrintAgainstHostInRun(round, &run);
    }
    if (repeats == 0) {
        DestroyWindow(window);
        HDCloseCabinet();
        HDCloseSession();
        return 0;
    }
    /* The run's patients, for the host's share of its fill below. */
    std::vector<int32_t> listed = ListedPatients();

    /* 2. The phases. */
    char pattern[SEARCH_TEXT_SIZE];
    StrCopy(pattern, sizeof pattern, text);
    FoldTextInPlace(pattern);
    int family = SearchFamilyOf(mode);
    HGLOBAL patients = OpenPatients(0);
    HGLOBAL folders = OpenDossiers(FOLDER_TABLE_MODE, 0, 0, 0);
    HGLOBAL fileOrd = OpenFileOrdonnances(0), fileCou = OpenFileCourriers(0);
    HGLOBAL sesam = OpenInfoSesam(0), extensions = OpenExtensions(0);
    /* The host's opening and closing of the run's six tables (the handles above stay open). */
    double t = Now();
    CloseInfoSesam(OpenInfoSesam(0));
    CloseExtensions(OpenExtensions(0));
    ClosePatients(OpenPatients(0));
    CloseDossiers(OpenDossiers(FOLDER_TABLE_MODE, 0, 0, 0));
    CloseFileOrdonnances(OpenFileOrdonnances(0));
    CloseFileCourriers(OpenFileCourriers(0));
    double openClose = Now() - t;
    Pass pass = {family, pattern, GlobalLock(folders), 0, 0};
    Keys keys;
    t = Now();
    Walk(INDEX_FOLDERS, 0, WantedDocumentType(family), &keys.folder);
    Walk(FileIndexOf(family), 1, WantedDocumentType(family), &keys.file);
    double walk = Now() - t;
    /* The floor of the host's clock: the same walks with it on, a loop that only calls the host.
     * What lies beyond the host's time there is the calling itself and the clock's own residue
     * (leaving the host's section, the stamps), which a real run pays on each of its operations too.
     * The walks with and without the clock take turns, three times, the fastest of each kept: the
     * first walk above also touches the host's index for the first time. */
    if (g_hostTimeCalls != NULL) {
        double wall = 1e9, bare = walk, clocked = 0, stamp = 0;
        long calls = 0;
        for (int turn = 0; turn < 3; turn++) {
            Keys again;
            t = Now();
            Walk(INDEX_FOLDERS, 0, WantedDocumentType(family), &again.folder);
            Walk(FileIndexOf(family), 1, WantedDocumentType(family), &again.file);
            double took = Now() - t;
            if (took < bare) bare = took;
            g_hostTimeCalls(g_clockOneIn);
            t = Now();
            Walk(INDEX_FOLDERS, 0, WantedDocumentType(family), &again.folder);
            Walk(FileIndexOf(family), 1, WantedDocumentType(family), &again.file);
            took = Now() - t;
            long turnCalls = 0;
            double turnStamp = 0;
            double turnClocked = g_hostTimedCalls(&turnCalls, &turnStamp);
            g_hostTimeCalls(0);
            if (took < wall) {
                wall = took;
                clocked = turnClocked;
                calls = turnCalls;
                stamp = turnStamp;
            }
        }
        double host = HostSeconds(clocked, calls, stamp);
        double beyond = BeyondHost(wall, clocked, calls, stamp);
        double perCall = 1.0 / (double)(calls > 0 ? calls : 1);
        printf(
            "the walks again with the host's clock: %.3f s, the host %.3f s in %ld operations: %.3f s beyond "
            "it, %.0f ns an operation (a clock read %.1f ns, one operation in %d timed); without the clock "
            "they took %.3f s, so the calling alone is about %.0f ns an operation and the clock's residue "
            "%.0f ns (fastest of three walks each)\n",
            wall, host, calls, beyond, 1e9 * beyond * perCall, 1e9 * stamp, g_clockOneIn, bare,
            1e9 * (bare - host) * perCall, 1e9 * (beyond - (bare - host)) * perCall);
    }
    t = Now();
    SortKeys(keys.folder.data(), (int)keys.folder.size());
    SortKeys(keys.file.data(), (int)keys.file.size());
    double sort = Now() - t;
    double best[3] = {1e9, 1e9, 1e9};
    for (int repeat = 0; repeat < repeats; repeat++) {
        for (int how = PASS_READS; how <= PASS_MATCH; how++) {
            ReleaseTable();
            pass.bytes = 0;
            pass.documents = 0;
            t = Now();
            RunPass(&pass, &keys, how);
            double s = Now() - t;
            if (s < best[how]) best[how] = s;
        }
    }
    long documents = pass.documents;
    int matched = Results.OccurrenceTotal, found = Results.PatientsWithHits;
    ReleaseTable();
    pass.bytes = 0;
    RunPass(&pass, &keys, PASS_SCAN);
    ReleaseTable();
    /* The parts, from one more pass; a counter read costs about `stamp` ticks (the fastest of 20
     * rounds of 100, so that a round the thread was switched out of does not count), taken off
     * each part. */
    double stamp = 1e300;
    for (int round = 0; round < 20; round++) {
        long long s0 = Ticks();
        for (int i = 0; i < 100; i++)
            Ticks();
        double spent = (double)(Ticks() - s0) / 100.0;
        if (spent < stamp) stamp = spent;
    }
    ReleaseTable();
    pass.documents = 0;
    RunPass(&pass, &keys, PASS_PARTS);
    double recorded = (double)Results.OccurrenceTotal;
    ReleaseTable();
    /* The match part holds the record part and, for a recorded document, the record's two counter
     * reads, one of which the record part holds already; the read at its edges, one a document, is
     * taken off below like every part's. */
    g_parts[PART_MATCH] -= g_parts[PART_RECORD] + (long long)(stamp * recorded);
    static const char* const kPartNames[PART_COUNT] = {"host read call",
                                                       "GlobalLock",
                                                       "GlobalSize",
                                                       "match (MatchDocumentText)",
                                                       "record (RecordDocumentHit)",
                                                       "GlobalUnlock",
                                                       "GlobalFree",
                                                       "(apart: the same scan again)",
                                                       "terminator at the block's end"};
    printf("parts of %ld documents (counter read %.0f ns, taken off):\n", pass.documents,
           1e9 * stamp / g_tickFrequency);
    for (int i = 0; i < PART_COUNT; i++) {
        double stamps = i == PART_RECORD ? recorded : (double)pass.documents;
        double seconds = ((double)g_parts[i] - stamp * stamps) / g_tickFrequency;
        printf("  %-32s %.3f s, %.2f us a document\n", kPartNames[i], seconds,
               1e6 * seconds / pass.documents);
    }
    printf("keys: %zu + %zu, walk (host) %.3f s, sort %.4f s\n", keys.folder.size(), keys.file.size(), walk,
           sort);
    printf("documents read: %ld, %.1f MB of text; %d matching, %d patients\n", documents, pass.bytes / 1e6,
           matched, found);
    printf("reads only (host): %.3f s\n", best[PASS_READS]);
    printf("reads + plain folded scan: %.3f s -> scanning the texts %.3f s\n", best[PASS_SCAN],
           best[PASS_SCAN] - best[PASS_READS]);
    printf("reads + MatchDocument: %.3f s -> matching %.3f s, beyond the plain scan %.3f s (%.0f %% of the "
           "scan)\n",
           best[PASS_MATCH], best[PASS_MATCH] - best[PASS_READS], best[PASS_MATCH] - best[PASS_SCAN],
           100.0 * (best[PASS_MATCH] - best[PASS_SCAN]) / (best[PASS_SCAN] - best[PASS_READS]));

    /* The real runs against the host's own time: the reads pass (the read calls and the calls on
     * the memory handles they return), the index walks, the tables' opening and closing and the
     * identity reads of the run's fill. */
    double fillHost = HostShareOfFill(listed, GlobalLock(patients), GlobalLock(extensions));
    GlobalUnlock(patients);
    GlobalUnlock(extensions);
    double host = best[PASS_READS] + walk + openClose + fillHost;
    printf(
        "the host's time: reads %.3f + index walks %.3f + opening and closing the tables %.3f + the fill's "
        "identity reads (%zu patients) %.3f = %.3f s\n",
        best[PASS_READS], walk, openClose, listed.size(), fillHost, host);
    for (int r = 0; r < 2; r++)
        printf("  run %d beyond the host: until it ended %.3f s (%.0f %%), until its list was shown %.3f s "
               "(%.0f %%)\n",
               r + 1, runs[r].ended - host, 100.0 * (runs[r].ended - host) / host, runs[r].shown - host,
               100.0 * (runs[r].shown - host) / host);

    /* 3. Filling the list for many patients, from a worker thread as the run does. */
    if (fillPatients > 0) {
        ReleaseTable();
        char keyText[KEY_TEXT_SIZE];
        int added = 0;
        for (DWORD key = HDFirstKey(INDEX_FOLDERS, keyText); key != 0 && added < fillPatients;
             key = HDNextKey(INDEX_FOLDERS, keyText)) {
            int type = GetDossiersType(keyText, 0);
            if (type != DOC_TYPE_LETTER && type != DOC_TYPE_PRESCRIPTION) continue;
            ReadDossiers2(key, pass.folderRecord);
            int32_t patient = (int32_t)RecordU32(pass.folderRecord, HEADER_PATIENT);
            if (patient < 0 || patient >= PATIENT_TABLE_SLOTS || Results.PatientHitsTable[patient] != NULL)
                continue;
            AddHit(RecordForPatient(patient), RecordU32(pass.folderRecord, HEADER_DATE), "Dr Bench", key, 0);
            added++;
        }
        Results.OccurrenceTotal = added;
        FillJob job = {window, GlobalLock(patients), GlobalLock(sesam), GlobalLock(extensions)};
        printf("host reads of a fill (level 2), %d patients: %.3f s\n", added,
               HostShareOfFill(ListedPatients(), job.patient, job.extensions));
        for (int level = 1; level <= 2; level++) {
            Host.HostApiLevel = level;
            /* Each fill replaces the rows of the one before (the records stay in the table). The
             * rows before are deleted apart first, so that the fill is timed into an empty list,
             * as a run fills it after releasing the previous results. */
            HWND list = GetDlgItem(window, IDC_RESULT_LIST);
            t = Now();
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
            printf("deleting the %s rows: %.3f s\n", level == 1 ? "run's" : "previous", Now() - t);
            double fill = OnWorker(FillOnWorker, &job);
            printf("FillResultList, %d patients, host level %d: %.3f s (%.0f rows/s)\n", added, level, fill,
                   added / fill);
            t = Now();
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
            printf("  deleting them: %.3f s\n", Now() - t);
            t = Now();
            FillOnWorker(&job);
            printf("  the same on the window's own thread (no cross-thread messages): %.3f s\n", Now() - t);
        }
        ClearHitTable(); /* the rows own the records now, as after a run */
        double release = OnWorker(ReleaseOnWorker, window);
        printf("ReleaseListedRecords, %d rows, from a worker thread: %.3f s\n", added, release);
    }
    GlobalUnlock(folders);
    ClosePatients(patients);
    CloseDossiers(folders);
    CloseFileOrdonnances(fileOrd);
    CloseFileCourriers(fileCou);
    CloseInfoSesam(sesam);
    CloseExtensions(extensions);
    DestroyWindow(window);
    HDCloseCabinet();
    HDCloseSession();
    return 0;
}
