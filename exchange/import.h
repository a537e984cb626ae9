/* Adding or subtracting a previously exported tab-separated results file.
 *
 * ImportResults asks for a file with the open-file dialog and merges it into the hit table, then
 * fills the result list again from the whole table (ImportResultsFromPath does everything after the
 * dialog). The three host tables FillResultList needs are opened and locked first and closed last.
 * The first line of the file is skipped as its header; each further line is applied by
 * ApplyImportLine (exchange/import_apply.h), and a rejected line asks the user whether to go on.
 *
 * The import writes the hit table, which a running search writes too without a lock: it is refused
 * with a warning box while a search is starting or running, and changes nothing then.
 *
 * The file is read through the chunked line reader of exchange/import_lines.h (ReadImportLine); the
 * open file and its reader are locals of the import. */
#ifndef SONDREL_EXCHANGE_IMPORT_H
#define SONDREL_EXCHANGE_IMPORT_H

#include <windows.h>

#include "exchange/import_lines.h"

#include "exchange/import_apply.h" /* ImportMode values: IMPORT_ADD, IMPORT_SUBTRACT */

/* What ImportResultsFromPath did. */
enum {
    IMPORT_DONE = 0,       /* the file was read to its end and the list filled again */
    IMPORT_STOPPED = 1,    /* the user answered No to a faulty line; the list was filled again */
    IMPORT_NOT_OPENED = 2, /* the file could not be opened: reported; the list was filled again */
    IMPORT_REFUSED = 3,    /* a search is starting or running: warned, nothing changed */
    IMPORT_NO_TABLES = 4,  /* the host tables could not be opened: nothing changed */
    IMPORT_READ_FAILED = 5 /* a read failed part-way: reported; the lines before it stay applied */
};

/* Longest part of a faulty line shown in the prompt; a longer line is cut and ends in "…". */
enum { IMPORT_PROMPT_LINE_CHARS = 200 };

/* Asks for a file, merges it into the results by `importMode`, then refills list `listId`. */
void ImportResults(HWND mainWindow, int listId, int importMode);

/* Everything after the dialog, for the file at `path`. Returns IMPORT_*. */
int ImportResultsFromPath(HWND mainWindow, int listId, int importMode, const char* path);

/* The open-file twin of ChooseSaveFile (exchange/export.h), with the same settings. */
int ChooseOpenFile(HWND owner, const char* filter, char* path, int pathSize);

/* Reads the next chunk of the open file for the line reader: ReadFile, answering -1 when it fails.
 * Tests replace it to make a read fail part-way through a file; the product never does. */
extern ImportReadFn g_importChunkRead;

#endif
