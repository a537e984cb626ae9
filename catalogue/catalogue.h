/* The form chooser (combo 244) and the one-time catalogue refresh.
 *
 * The main window fills the chooser from the FormCatalogue while it initialises; that first fill
 * also starts one background thread that downloads the maker's current form list over HTTP (an
 * index file naming the list file, then the list file), builds a new catalogue from it, publishes it
 * in one step and posts command 5436 to the main window, whose answer is to fill the chooser again.
 * The thread never touches a window and reports nothing: whatever fails, the catalogue in use stays
 * as it was. */
#ifndef SONDREL_CATALOGUE_CATALOGUE_H
#define SONDREL_CATALOGUE_CATALOGUE_H

#include <windows.h>
#include <wininet.h>

#include <stdint.h>

/* 1 once the refresh thread has been started; read and written by the interface thread only. */
extern int32_t CatalogueRefreshStarted;

/* Address of the index file fetched by the refresh: the maker's server unless a test points it at a
 * server of its own (before any refresh starts). */
extern const char* FormIndexUrl;

/* Refills combo 244 from the FormCatalogue and selects its first entry; the first call also starts
 * the catalogue refresh. */
void FillFormCombo(HWND mainWindow);

/* Thread procedure of the refresh (parameter: the main window): RefreshFormCatalogueFrom with
 * Catalogue.FormIndexUrl. Returns 1 when a new catalogue was published and announced, else 0. */
DWORD WINAPI RefreshFormCatalogue(LPVOID mainWindow);

/* The refresh from a given index address: downloads the index and the list it names into a
 * temporary file, publishes the parsed list as the new catalogue and posts command 5436 to `notify`.
 * Returns 1 on success; 0 with nothing changed on any failure. The temporary file is always
 * deleted. */
int RefreshFormCatalogueFrom(const char* indexUrl, HWND notify);

/* Fetches `url` into the file `path` (created or replaced). Returns 1 when the server answered 200
 * and the whole body was written; 0 otherwise, and then no file is left behind (except when the
 * request itself could not be made, which leaves an existing file untouched). */
int DownloadToFile(const char* url, const char* path);

/* Writes the body of an opened request into `path`. Returns 1 on status 200 with the whole body
 * written; 0 otherwise, having deleted the file: another status, a read or write that fails, fewer
 * bytes than the server announced, or a body of more than 16 MB. */
int SaveResponseBody(HINTERNET internet, HINTERNET request, const char* path);

#endif
