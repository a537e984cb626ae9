/* The form chooser and the one-time online refresh of the form catalogue.
 *
 * FillFormCombo runs on the interface thread: it lists the labels of the catalogue in use in combo
 * 244, in catalogue order (the combo is not sorted, so item i is entry i), selects the first, and the
 * first time round starts the refresh thread. The refresh downloads the index file from the maker's
 * server into a temporary file; the index is a short text whose whole content is the address of the
 * list file, which is then downloaded into the same temporary file, read whole and parsed. The new
 * catalogue is built completely on the refresh thread and only then published, by swapping one
 * pointer (see form_catalogue.h), so the interface thread sees either the old catalogue or the whole
 * new one, never a half-built one. After publishing, the thread posts command 5436 to the main
 * window, which answers by calling FillFormCombo again; the thread itself never touches a window.
 *
 * Every failure on the way (no network, a status other than 200, a transfer broken off, an index
 * that is empty or too long, no memory) ends the thread quietly with the catalogue unchanged and no
 * message. A refresh still running when the program ends is abandoned with the process: nobody
 * waits for it. */
#include "catalogue/catalogue.h"

#include "base/alloc.h"
#include "catalogue/form_catalogue.h"
#include "catalogue/index_file.h"
#include "resources/ids.h"

/* The maker's web server. The name lies under the reserved ".example" domain, which never resolves:
 * without a real server the refresh fails at once (name not found) and the built-in catalogue stays.
 * This is the only place that names the server. */
#define FORM_SERVER_HOST "formulon.sondrel.example"

/* Three-letter prefix of the temporary file: "Sfc" for Sondrel form catalogue. */
#define FORM_TEMP_PREFIX "Sfc"

enum {
    DOWNLOAD_CHUNK = 8192, /* bytes asked of each read of a response body */
    /* The largest body accepted. A full list of 1000 entries with generous labels is well under
     * 1 MB; a server that sends without end must not fill the disk from a background thread, nor
     * make the list reading ask for a block the size of the address space. */
    DOWNLOAD_LIMIT = 16 * 1024 * 1024,
};

int32_t CatalogueRefreshStarted = 0;

static const char kFormIndexUrl[] = "http://" FORM_SERVER_HOST "/doc/formulon/sondrel.txt";
const char* FormIndexUrl = kFormIndexUrl;

void FillFormCombo(HWND mainWindow) {
    HWND combo = GetDlgItem(mainWindow, IDC_FORM_CHOOSER);
    /* One read of the published pointer: the count and entries used below belong together even if
     * the refresh publishes another catalogue meanwhile (the next 5436 refills again). */
    const FormCatalogueData* catalogue = FormCatalogue();
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < catalogue->count; i++) {
        LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)catalogue->entries[i].label);
        /* Each item carries its entry, so a search takes the id of the label shown (the search run). */
        if (index >= 0) SendMessageA(combo, CB_SETITEMDATA, (WPARAM)index, (LPARAM)&catalogue->entries[i]);
    }
    /* With an empty catalogue this selects nothing and the combo stays without a selection. */
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    if (Catalogue.CatalogueRefreshStarted == 0) {
        Catalogue.CatalogueRefreshStarted = 1;
        HANDLE thread = CreateThread(NULL, 0, RefreshFormCatalogue, (LPVOID)mainWindow, 0, NULL);
        if (thread != NULL) CloseHandle(thread); /* the thread runs on its own; nobody joins it */
    }
}

DWORD WINAPI RefreshFormCatalogue(LPVOID mainWindow) {
    return (DWORD)RefreshFormCatalogueFrom(Catalogue.FormIndexUrl, (HWND)mainWindow);
}

/* Closes the file and deletes it: the common ending of a failed body transfer. */
static int DiscardFile(HANDLE file, const char* path) {
    CloseHandle(file);
    DeleteFileA(path);
    return 0;
}

int SaveResponseBody(HINTERNET internet, HINTERNET request, const char* path) {
    (void)internet; /* the session stays open around the transfer; nothing is asked of it here */
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;

    DWORD status = 0, size = sizeof status, index = 0;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index) ||
        status != HTTP_STATUS_OK) {
        return DiscardFile(file, path);
    }
    /* The announced length, when the server gave one: a connection that closes before that many
     * bytes have arrived can look like a normal end of body, and a list cut short must not replace
     * a whole catalogue. */
    DWORD announced = 0;
    size = sizeof announced;
    index = 0;
    int haveLength = HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                                    &size, &index) != FALSE;

    char chunk[DOWNLOAD_CHUNK];
    DWORD total = 0;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, sizeof chunk, &got)) return DiscardFile(file, path);
        if (got == 0) break;
        /* A short or failed write (disk full) would leave a truncated list that looks complete. */
        DWORD written = 0;
        if (got > DOWNLOAD_LIMIT - total) return DiscardFile(file, path);
        if (!WriteFile(file, chunk, got, &written, NULL) || written != got) return DiscardFile(file, path);
        total += got;
    }
    if (haveLength && total != announced) return DiscardFile(file, path);
    CloseHandle(file);
    return 1;
}

int DownloadToFile(const char* url, const char* path) {
    HINTERNET internet = InternetOpenA("Formulon", INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    if (internet == NULL) return 0;
    HINTERNET request =
        InternetOpenUrlA(internet, url, "", (DWORD)-1, INTERNET_FLAG_RELOAD | INTERNET_FLAG_RAW_DATA, 0);
    if (request == NULL) {
        InternetCloseHandle(internet);
        return 0;
    }
    int result = SaveResponseBody(internet, request, path);
    InternetCloseHandle(request);
    InternetCloseHandle(internet);
    return result;
}

/* Opens a downloaded file for reading, or INVALID_HANDLE_VALUE. */
static HANDLE OpenDownloaded(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

/* Reads exactly `size` bytes (fewer if the file is shorter) into `buffer`; returns the count read. */
static DWORD ReadUpTo(HANDLE file, char* buffer, DWORD size) {
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, size - total, &got, NULL) || got == 0) break;
        total += got;
    }
    return total;
}

/* The list address from the downloaded index file, into url[URL_BUFFER_SIZE] (see index_file.h).
 * Returns 0 when the file cannot be read or holds no address. */
static int ReadIndexFile(const char* path, char* url) {
    url[0] = 0;
    HANDLE file = OpenDownloaded(path);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    int found = 0;
    if (size != INVALID_FILE_SIZE && high == 0 && size < INDEX_SIZE_LIMIT) {
        char bytes[URL_BUFFER_SIZE - 1];
        DWORD got = ReadUpTo(file, bytes, sizeof bytes);
        found = ListUrlFromIndex(bytes, got, size, url, URL_BUFFER_SIZE);
    }
    CloseHandle(file);
    return found;
}

/* Parses the downloaded list file into a new, unpublished catalogue, or NULL when the file cannot
 * be read or memory runs out. The file is read whole into a block of its size plus a terminator; a
 * zero byte inside it ends the list. */
static FormCatalogueData* ReadListFile(const char* path) {
    HANDLE file = OpenDownloaded(path);
    if (file == INVALID_HANDLE_VALUE) return NULL;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    /* A list of 4 GB or more (or an unknown size) cannot be held by this process. */
    char* text = (size != INVALID_FILE_SIZE && high == 0) ? (char*)SondrelAlloc((size_t)size + 1, 1) : NULL;
    if (text == NULL) {
        CloseHandle(file);
        return NULL;
    }
    DWORD got = ReadUpTo(file, text, size);
    text[got] = 0;
    CloseHandle(file);
    /* At most FORM_CATALOGUE_MAX entries are kept: a longer list yields its first 1000. */
    FormCatalogueData* catalogue = ParseFormList(text, got);
    SondrelFree(text);
    return catalogue;
}

/* Index, then list, into one temporary file; the parsed list or NULL. */
static FormCatalogueData* DownloadCatalogue(const char* indexUrl, const char* tempFile) {
    char listUrl[URL_BUFFER_SIZE];
    if (!DownloadToFile(indexUrl, tempFile)) return NULL;
    if (!ReadIndexFile(tempFile, listUrl)) return NULL;
    if (!DownloadToFile(listUrl, tempFile)) return NULL;
    return ReadListFile(tempFile);
}

int RefreshFormCatalogueFrom(const char* indexUrl, HWND notify) {
    char tempDir[MAX_PATH];
    char tempFile[MAX_PATH];
    DWORD length = GetTempPathA(sizeof tempDir, tempDir);
    if (length == 0 || length >= sizeof tempDir) return 0;
    if (GetTempFileNameA(tempDir, FORM_TEMP_PREFIX, 0, tempFile) == 0) return 0;

    FormCatalogueData* catalogue = DownloadCatalogue(indexUrl, tempFile);
    /* The temporary file is deleted whatever happened: it is of no use once read, and files left
     * behind run after run would fill the temporary directory and, at 65535 of them, the unique
     * names of this prefix. */
    DeleteFileA(tempFile);
    if (catalogue == NULL) return 0;

    /* Published whole, in one step; never released afterwards, since the interface thread may
     * still be reading the previous catalogue or this one. An empty list gives an empty catalogue
     * (the chooser is emptied); a list of more than 1000 entries gives its first 1000, and the
     * chooser is refilled in both cases so that combo item i is always catalogue entry i. */
    PublishFormCatalogue(catalogue);
    PostMessageA(notify, WM_COMMAND, IDCMD_CATALOGUE_READY, 0);
    return 1;
}
