/* Matching one document text and recording the hit.
 *
 * A document text handed out by the host holds marked sections; a search covers only some of them:
 *   - form data only: the region from "<velarine_data>" up to "</velarine_data>";
 *   - otherwise: the region from "<text>" up to "</text>", then the region from "<rtf>" up to
 *     "</rtf>".
 * A region starts with its own opening marker, whose letters are searched with it, and ends before
 * its closing marker, or at the first terminator after it when the closing marker is missing.
 * Markers are compared through the fold table, so they are recognised in any letter case (and
 * with accented letters, as FindFolded would). All four markers of the text/rtf mode are found, in
 * one pass over the text, before any terminator is written over a closing marker, so a "<text>"
 * without "</text>" runs up to the terminator written over "</rtf>" (or to the end). The
 * terminators go into the document's own memory, which is released right after matching.
 *
 * A matching document counts once however often the pattern occurs in it: Results.OccurrenceTotal goes up
 * by one and the patient named by the document header gets one hit. A header whose patient number
 * lies outside 0 .. 1,048,575 names no slot of the table: such a document is neither recorded nor
 * counted.
 *
 * MatchDocument (match_win.cpp) wraps this around the host's movable memory handle. Everything
 * here runs on the search thread only. */
#ifndef SONDREL_SEARCH_MATCH_H
#define SONDREL_SEARCH_MATCH_H

#include <stdint.h>

/* Cuts the searched regions out of the zero-terminated text (writing terminators over the closing
 * markers it finds) and looks for the folded pattern in them. A text that holds the pattern nowhere
 * is answered by one scan and left unchanged. Returns 1 on a match, 0 otherwise
 * (also for a NULL text). */
int MatchDocumentText(char* text, const char* pattern, int formDataOnly);

/* Records one matching document: counts it in Results.OccurrenceTotal and adds a hit with the header's
 * date and author to the record of the header's patient. `header` is a document header of at least
 * 45 bytes. Does nothing for a patient number outside the table. */
void RecordDocumentHit(const void* header, uint32_t key, int fromFileTable);

/* MatchDocumentText, then RecordDocumentHit on a match. Returns 1 when the document matched. */
int MatchAndRecordDocument(char* text, const char* pattern, const void* header, uint32_t key,
                           int fromFileTable, int formDataOnly);

#endif
