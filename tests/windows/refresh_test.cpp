// The form chooser and the online catalogue refresh, against a loopback HTTP server in this process:
// downloads (status, cut-off transfers, files left behind), the index size limit, the list replacing
// the catalogue and command 5436, the chooser refilled in the real dialog 201, and the one refresh
// thread started by the first fill.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/alloc.h"
#include "catalogue/catalogue.h"
#include "catalogue/form_catalogue.h"
#include "resources/ids.h"
#include "support/catalogue_server.h"
#include "support/mainwin_support.h"

namespace {

// A hidden top-level window that records the WM_COMMAND messages it receives.
std::vector<std::pair<WPARAM, LPARAM>> g_commands;

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) g_commands.push_back({wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateSink() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = SinkProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "CatalogueTestSink";
        registered = RegisterClassA(&wc) != 0;
    }
    g_commands.clear();
    return CreateWindowA("CatalogueTestSink", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, GetModuleHandleA(NULL),
                         NULL);
}

void Pump(int ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(2);
    } while ((int)(GetTickCount() - start) < ms);
}

std::string TempDir() {
    char dir[MAX_PATH] = "";
    GetTempPathA(sizeof dir, dir);
    return dir;
}

// Names of the refresh's temporary files present in the temporary directory.
std::vector<std::string> RefreshTempFiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((TempDir() + "Sfc*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

long FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (long)data.nFileSizeLow;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteWhole(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string ComboText(HWND combo, int i) {
    char buf[1024] = "";
    LRESULT n = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
    if (n == CB_ERR || n >= (LRESULT)sizeof buf) return "<error>";
    SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)buf);
    return buf;
}

const char kThreeForms[] = "Premier formulaire\r\nFORM_1\r\n"
                           "Deuxi\xe8me, avec virgule\r\nFORM_2,ignored rest\r\n"
                           "\r\n\r\nTroisi\xe8me\r\nFORM_3\r\n";

class CatalogueRefreshTest : public ::testing::Test {
  protected:
    LoopbackHttpServer server;
    HWND sink = NULL;
    std::string scratch;

    void SetUp() override {
        SetEnvironmentVariableA("http_proxy", NULL);
        SetEnvironmentVariableA("HTTP_PROXY", NULL);
        PublishFormCatalogue(BuiltinFormCatalogue());
        savedIndexUrl = Catalogue.FormIndexUrl;
        Catalogue.CatalogueRefreshStarted = 1; // dialogs created here start no refresh unless a test asks
        ASSERT_TRUE(server.Start()) << "loopback server: " << WSAGetLastError();
        sink = CreateSink();
        ASSERT_NE(sink, (HWND)NULL);
        scratch = TempDir() + "catalogue_test_scratch.bin";
        DeleteFileA(scratch.c_str());
        leftBefore = RefreshTempFiles();
    }
    void TearDown() override {
        server.Stop();
        DestroyWindow(sink);
        DeleteFileA(scratch.c_str());
        Catalogue.FormIndexUrl = savedIndexUrl;
        // The next tests (and the other suites) start from the built-in catalogue again.
        PublishFormCatalogue(BuiltinFormCatalogue());
    }
    // The posted commands that reached the sink.
    std::vector<std::pair<WPARAM, LPARAM>> Posted() {
        Pump(20);
        return g_commands;
    }
    // The list served at /list.txt and an index pointing at it.
    void ServeList(const std::string& list) {
        server.Serve("/doc/formulon/sondrel.txt", 200, server.Url("/list.txt"));
        server.Serve("/list.txt", 200, list);
    }
    int Refresh() { return RefreshFormCatalogueFrom(server.Url("/doc/formulon/sondrel.txt").c_str(), sink); }
    void ExpectBuiltinAndQuiet() {
        EXPECT_EQ(FormCatalogue(), BuiltinFormCatalogue());
        EXPECT_TRUE(Posted().empty());
        EXPECT_EQ(RefreshTempFiles(), leftBefore) << "a temporary file was left behind";
    }
    std::vector<std::string> leftBefore;
    const char* savedIndexUrl = NULL;
};

TEST_F(CatalogueRefreshTest, DownloadWritesTheWholeBodyAcrossChunks) {
    // More than two 8192-byte reads, with every byte value, over a longer previous content.
    std::string body;
    for (int i = 0; i < 20000; i++)
        body += (char)(i * 7 % 256);
    server.Serve("/big.bin", 200, body);
    WriteWhole(scratch, std::string(30000, 'x'));
    ASSERT_EQ(DownloadToFile(server.Url("/big.bin").c_str(), scratch.c_str()), 1);
    EXPECT_EQ(ReadWhole(scratch), body);

    // A body without Content-Length ends with the connection and is whole.
    CannedAnswer open;
    open.body = "sans longueur annonc\xe9"
                "e\r\n";
    open.sendLength = false;
    server.Serve("/open.txt", open);
    ASSERT_EQ(DownloadToFile(server.Url("/open.txt").c_str(), scratch.c_str()), 1);
    EXPECT_EQ(ReadWhole(scratch), open.body);

    // An empty body gives an empty file.
    server.Serve("/empty.txt", 200, "");
    ASSERT_EQ(DownloadToFile(server.Url("/empty.txt").c_str(), scratch.c_str()), 1);
    EXPECT_TRUE(FileExists(scratch));
    EXPECT_EQ(ReadWhole(scratch), "");
}

TEST_F(CatalogueRefreshTest, DownloadFailuresLeaveNoFile) {
    // Status other than 200, with a readable body: the file that was there is gone.
    WriteWhole(scratch, "ancien contenu");
    server.Serve("/missing.txt", 404, "<html>not found</html>");
    EXPECT_EQ(DownloadToFile(server.Url("/missing.txt").c_str(), scratch.c_str()), 0);
    EXPECT_FALSE(FileExists(scratch));

    server.Serve("/error.txt", 500, "boom");
    EXPECT_EQ(DownloadToFile(server.Url("/error.txt").c_str(), scratch.c_str()), 0);
    EXPECT_FALSE(FileExists(scratch));

    // A transfer broken off: 5000 bytes announced, 1500 sent, then the connection closes.
    CannedAnswer cut;
    cut.body = std::string(1500, 'c');
    cut.announced = 5000;
    server.Serve("/cut.txt", cut);
    EXPECT_EQ(DownloadToFile(server.Url("/cut.txt").c_str(), scratch.c_str()), 0);
    EXPECT_FALSE(FileExists(scratch)) << "the partial file must be deleted";
    EXPECT_EQ(server.Requests("/cut.txt"), 1);

    // The same, broken off by a reset of the connection.
    cut.reset = true;
    server.Serve("/reset.txt", cut);
    EXPECT_EQ(DownloadToFile(server.Url("/reset.txt").c_str(), scratch.c_str()), 0);
    EXPECT_FALSE(FileExists(scratch));

    // A body of more than 16 MB is refused (and the part written removed); 16 MB exactly is taken.
    server.Serve("/huge.bin", 200, std::string(16 * 1024 * 1024 + 1, 'h'));
    EXPECT_EQ(DownloadToFile(server.Url("/huge.bin").c_str(), scratch.c_str()), 0);
    EXPECT_FALSE(FileExists(scratch));
    CannedAnswer endless;
    endless.body = std::string(16 * 1024 * 1024 + 9000, 'e');
    endless.sendLength = false;
    server.Serve("/endless.bin", endless);
    EXPECT_EQ(DownloadToFile(server.Url("/endless.bin").c_str(), scratch.c_str()), 0);
    EXPECT_FALSE(FileExists(scratch));
    server.Serve("/limit.bin", 200, std::string(16 * 1024 * 1024, 'l'));
    EXPECT_EQ(DownloadToFile(server.Url("/limit.bin").c_str(), scratch.c_str()), 1);
    EXPECT_EQ(FileSizeOf(scratch), 16 * 1024 * 1024);

    // A reset with no length announced.
    cut.sendLength = false;
    server.Serve("/reset-open.txt", cut);
    EXPECT_EQ(DownloadToFile(server.Url("/reset-open.txt").c_str(), scratch.c_str()), 0);
    EXPECT_FALSE(FileExists(scratch));
}

TEST_F(CatalogueRefreshTest, DownloadWithoutAServerTouchesNothing) {
    WriteWhole(scratch, "ancien contenu");
    std::string url = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x.txt";
    DWORD start = GetTickCount();
    EXPECT_EQ(DownloadToFile(url.c_str(), scratch.c_str()), 0);
    EXPECT_LT(GetTickCount() - start, 5000u);
    // No request was made, so the file was never opened for writing.
    EXPECT_EQ(ReadWhole(scratch), "ancien contenu");
    // Not a web address at all.
    EXPECT_EQ(DownloadToFile("pas une adresse", scratch.c_str()), 0);
    EXPECT_EQ(DownloadToFile("", scratch.c_str()), 0);
    EXPECT_EQ(ReadWhole(scratch), "ancien contenu");
}

TEST_F(CatalogueRefreshTest, ListReplacesTheCatalogueAndIsAnnounced) {
    ServeList(kThreeForms);
    ASSERT_EQ(Refresh(), 1);
    const FormCatalogueData* c = FormCatalogue();
    ASSERT_NE(c, BuiltinFormCatalogue());
    ASSERT_EQ(c->count, 3);
    EXPECT_STREQ(c->entries[0].label, "Premier formulaire");
    EXPECT_STREQ(c->entries[0].formId, "FORM_1");
    EXPECT_STREQ(c->entries[1].label, "Deuxi\xe8me, avec virgule"); // a comma ends only an id
    EXPECT_STREQ(c->entries[1].formId, "FORM_2");
    EXPECT_STREQ(c->entries[2].label, "Troisi\xe8me"); // blank lines between entries skipped
    EXPECT_STREQ(c->entries[2].formId, "FORM_3");

    auto posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].first, (WPARAM)IDCMD_CATALOGUE_READY);
    EXPECT_EQ(posted[0].second, (LPARAM)0);
    EXPECT_EQ(server.Requests("/doc/formulon/sondrel.txt"), 1);
    EXPECT_EQ(server.Requests("/list.txt"), 1);
    EXPECT_EQ(RefreshTempFiles(), leftBefore) << "the temporary file is deleted after a refresh";
}

TEST_F(CatalogueRefreshTest, EveryFailureKeepsTheCatalogueQuietly) {
    // No server at all.
    std::string dead =
        "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/doc/formulon/sondrel.txt";
    EXPECT_EQ(RefreshFormCatalogueFrom(dead.c_str(), sink), 0);
    ExpectBuiltinAndQuiet();

    // The index is missing.
    EXPECT_EQ(Refresh(), 0);
    ExpectBuiltinAndQuiet();
    EXPECT_EQ(server.Requests("/doc/formulon/sondrel.txt"), 1);

    // The index names a list that is missing.
    server.Serve("/doc/formulon/sondrel.txt", 200, server.Url("/gone.txt"));
    EXPECT_EQ(Refresh(), 0);
    ExpectBuiltinAndQuiet();
    EXPECT_EQ(server.Requests("/gone.txt"), 1);

    // The list is cut off mid-transfer.
    server.Serve("/doc/formulon/sondrel.txt", 200, server.Url("/cut.txt"));
    CannedAnswer cut;
    cut.body = kThreeForms;
    cut.announced = 100000;
    server.Serve("/cut.txt", cut);
    EXPECT_EQ(Refresh(), 0);
    ExpectBuiltinAndQuiet();

    // An empty index, and an index that is not an address.
    server.Serve("/doc/formulon/sondrel.txt", 200, "");
    EXPECT_EQ(Refresh(), 0);
    ExpectBuiltinAndQuiet();
    server.Serve("/doc/formulon/sondrel.txt", 200, "liste des formulaires");
    EXPECT_EQ(Refresh(), 0);
    ExpectBuiltinAndQuiet();

    // An index that is itself cut off, though what arrived is a whole address.
    CannedAnswer cutIndex;
    cutIndex.body = server.Url("/list.txt");
    cutIndex.announced = 200;
    server.Serve("/doc/formulon/sondrel.txt", cutIndex);
    server.Serve("/list.txt", 200, kThreeForms);
    EXPECT_EQ(Refresh(), 0);
    ExpectBuiltinAndQuiet();
    EXPECT_EQ(server.Requests("/list.txt"), 0);
}

TEST_F(CatalogueRefreshTest, IndexOf258BytesIsUsedAnd259Ignored) {
    // The address padded by its query to exactly 258 bytes, then one more byte.
    std::string base = server.Url("/list.txt?pad=");
    std::string url258 = base + std::string(258 - base.size(), 'a');
    std::string url259 = base + std::string(259 - base.size(), 'b');
    ASSERT_EQ(url258.size(), 258u);
    server.Serve(url258.substr(url258.find("/list.txt")), 200, kThreeForms);
    server.Serve(url259.substr(url259.find("/list.txt")), 200, kThreeForms);

    server.Serve("/doc/formulon/sondrel.txt", 200, url259);
    EXPECT_EQ(Refresh(), 0);
    ExpectBuiltinAndQuiet();
    EXPECT_EQ(server.TotalRequests(), 1) << "the list named by a 259-byte index is not fetched";

    server.Serve("/doc/formulon/sondrel.txt", 200, url258);
    ASSERT_EQ(Refresh(), 1);
    EXPECT_EQ(FormCatalogue()->count, 3);
    EXPECT_EQ(server.Requests(url258.substr(url258.find("/list.txt"))), 1);
}

TEST_F(CatalogueRefreshTest, EmptyListGivesAnEmptyChooser) {
    ServeList("");
    ASSERT_EQ(Refresh(), 1);
    EXPECT_EQ(FormCatalogue()->count, 0);
    ASSERT_EQ(Posted().size(), 1u);

    InstallRecorders();
    HWND dialog = CreateMainWindow();
    ASSERT_NE(dialog, (HWND)NULL);
    HWND combo = GetDlgItem(dialog, IDC_FORM_CHOOSER);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    DestroyMainWindow(dialog);
    UninstallRecorders();
}

TEST_F(CatalogueRefreshTest, LongListKeepsTheFirst1000AndRefillsTheChooser) {
    std::string list;
    for (int i = 0; i < 1200; i++)
        list += "Formulaire " + std::to_string(i) + "\r\nID_" + std::to_string(i) + "\r\n";
    ServeList(list);

    InstallRecorders();
    HWND dialog = CreateMainWindow();
    ASSERT_NE(dialog, (HWND)NULL);
    size_t boxesBefore = g_boxes.size();
    ASSERT_EQ(RefreshFormCatalogueFrom(server.Url("/doc/formulon/sondrel.txt").c_str(), dialog), 1);
    const FormCatalogueData* c = FormCatalogue();
    ASSERT_EQ(c->count, FORM_CATALOGUE_MAX);
    EXPECT_STREQ(c->entries[999].label, "Formulaire 999");
    EXPECT_STREQ(c->entries[999].formId, "ID_999");

    PumpMessages(dialog, 50);
    HWND combo = GetDlgItem(dialog, IDC_FORM_CHOOSER);
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 1000);
    EXPECT_EQ(ComboText(combo, 0), "Formulaire 0");
    EXPECT_EQ(ComboText(combo, 999), "Formulaire 999");
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(g_boxes.size(), boxesBefore); // the refresh and the refill show nothing
    DestroyMainWindow(dialog);
    UninstallRecorders();
}

TEST_F(CatalogueRefreshTest, RefreshResetsTheChoiceToTheFirstNewEntry) {
    ServeList(kThreeForms);
    InstallRecorders();
    HWND dialog = CreateMainWindow();
    ASSERT_NE(dialog, (HWND)NULL);
    HWND combo = GetDlgItem(dialog, IDC_FORM_CHOOSER);
    SendDlgItemMessageA(dialog, IDC_RADIO_FORMS, BM_CLICK, 0, 0);
    SendMessageA(combo, CB_SETCURSEL, 16, 0);
    ASSERT_EQ(ComboText(combo, 16), "Cotorep");

    ASSERT_EQ(RefreshFormCatalogueFrom(server.Url("/doc/formulon/sondrel.txt").c_str(), dialog), 1);
    // Until the command arrives the chooser still shows the former labels.
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 24);
    PumpMessages(dialog, 50);
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ComboText(combo, 0), "Premier formulaire");
    EXPECT_EQ(ComboText(combo, 2), "Troisi\xe8me");
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsWindowVisible(combo)); // the refill keeps the chooser shown
    DestroyMainWindow(dialog);
    UninstallRecorders();
}

TEST_F(CatalogueRefreshTest, ChooserOffersTheBuiltInLabelsInOrder) {
    InstallRecorders();
    HWND dialog = CreateMainWindow();
    ASSERT_NE(dialog, (HWND)NULL);
    HWND combo = GetDlgItem(dialog, IDC_FORM_CHOOSER);
    const FormCatalogueData* builtin = BuiltinFormCatalogue();
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 24);
    for (int i = 0; i < 24; i++)
        EXPECT_EQ(ComboText(combo, i), builtin->entries[i].label) << i;
    EXPECT_EQ(ComboText(combo, 10), "Cure thermale ");
    EXPECT_EQ(ComboText(combo, 0), "Protocole d'Examen Sp\xe9"
                                   "cial");
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    // Filling again does not add to what is there.
    FillFormCombo(dialog);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 24);
    DestroyMainWindow(dialog);
    UninstallRecorders();
}

TEST_F(CatalogueRefreshTest, FirstFillStartsOneRefreshThread) {
    ServeList(kThreeForms);
    // Static: a refresh thread left behind by a failed check may still read it.
    static std::string index;
    index = server.Url("/doc/formulon/sondrel.txt");
    Catalogue.FormIndexUrl = index.c_str();

    InstallRecorders();
    Catalogue.CatalogueRefreshStarted = 0;
    HWND dialog = CreateMainWindow(); // its initialisation fills the chooser and starts the thread
    ASSERT_NE(dialog, (HWND)NULL);
    EXPECT_EQ(Catalogue.CatalogueRefreshStarted, 1);
    HWND combo = GetDlgItem(dialog, IDC_FORM_CHOOSER);
    DWORD start = GetTickCount();
    while (SendMessageA(combo, CB_GETCOUNT, 0, 0) != 3 && GetTickCount() - start < 10000)
        PumpMessages(dialog, 10);
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3) << "the refresh thread did not refill the chooser";
    EXPECT_EQ(ComboText(combo, 1), "Deuxi\xe8me, avec virgule");
    // Command 5436 again (and a second window's fill) refill without another download.
    SendMessageA(dialog, WM_COMMAND, IDCMD_CATALOGUE_READY, 0);
    HWND second = CreateMainWindow();
    PumpMessages(dialog, 100);
    EXPECT_EQ(SendMessageA(GetDlgItem(second, IDC_FORM_CHOOSER), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(server.Requests("/doc/formulon/sondrel.txt"), 1);
    EXPECT_EQ(server.Requests("/list.txt"), 1);
    DestroyMainWindow(second);
    DestroyMainWindow(dialog);
    UninstallRecorders();
}

} // namespace

namespace {

// Refreshes on a thread of their own, alternating between two lists, while this thread keeps
// reading the published catalogue and refilling a chooser from it: every catalogue seen is a whole
// one (the built-in, the 3-entry or the 1000-entry list), never one being built.
TEST_F(CatalogueRefreshTest, ReadersNeverSeeAHalfBuiltCatalogue) {
    std::string longList;
    for (int i = 0; i < 1000; i++)
        longList += "Long " + std::to_string(i) + "\r\nL" + std::to_string(i) + "\r\n";
    server.Serve("/three.txt", 200, kThreeForms);
    server.Serve("/long.txt", 200, longList);
    HWND combo = CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, sink,
                               (HMENU)(INT_PTR)IDC_FORM_CHOOSER, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(combo, (HWND)NULL);

    const int kRefreshes = 20;
    std::atomic<int> done{0}, succeeded{0};
    std::string index = server.Url("/doc/formulon/sondrel.txt");
    std::thread refresher([&] {
        for (int i = 0; i < kRefreshes; i++) {
            server.Serve("/doc/formulon/sondrel.txt", 200, server.Url(i % 2 ? "/long.txt" : "/three.txt"));
            succeeded += RefreshFormCatalogueFrom(index.c_str(), sink);
        }
        done = 1;
    });
    int seen[3] = {0, 0, 0};
    int broken = 0, firstBroken = -1;
    while (!done) {
        // Many quick reads between two refills, so that a catalogue published before it is complete
        // would be caught on its way. No assertion may leave this loop while the thread runs.
        for (int read = 0; read < 20000; read++) {
            const FormCatalogueData* c = FormCatalogue();
            int count = c->count;
            bool whole = false;
            if (count == 24) {
                whole = c == BuiltinFormCatalogue();
                seen[0]++;
            } else if (count == 3) {
                whole = strcmp(c->entries[2].label, "Troisi\xe8me") == 0 &&
                        strcmp(c->entries[2].formId, "FORM_3") == 0;
                seen[1]++;
            } else if (count == 1000) {
                whole = strcmp(c->entries[999].label, "Long 999") == 0 &&
                        strcmp(c->entries[999].formId, "L999") == 0;
                seen[2]++;
            }
            if (!whole && broken++ == 0) firstBroken = count;
        }
        FillFormCombo(sink);
        LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        EXPECT_TRUE(n == 24 || n == 3 || n == 1000) << n;
        EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
        Pump(0);
    }
    refresher.join();
    EXPECT_EQ(broken, 0) << "a catalogue of " << firstBroken << " entries was seen while being built";
    EXPECT_EQ(succeeded.load(), kRefreshes);
    EXPECT_EQ(FormCatalogue()->count, 1000); // the last list served was the long one
    EXPECT_EQ(Posted().size(), (size_t)kRefreshes);
    EXPECT_GT(seen[1] + seen[2], 0);
    EXPECT_EQ(RefreshTempFiles(), leftBefore);
}

TEST_F(CatalogueRefreshTest, RefreshWithoutMemoryKeepsTheCatalogueQuietly) {
    ServeList(kThreeForms);
    long before = SondrelAllocationCalls();
    ASSERT_EQ(Refresh(), 1);
    long calls = SondrelAllocationCalls() - before;
    ASSERT_EQ(calls, 1 + 2 + 2 * 3); // the file's text, then the parse
    Posted();
    g_commands.clear();
    for (long n = 1; n <= calls; n++) {
        PublishFormCatalogue(BuiltinFormCatalogue());
        long live = SondrelLiveBlocks();
        SondrelFailAllocationAt(n);
        EXPECT_EQ(Refresh(), 0) << n;
        SondrelFailAllocationAt(0);
        ExpectBuiltinAndQuiet();
        EXPECT_EQ(SondrelLiveBlocks(), live) << n;
    }
}

} // namespace
