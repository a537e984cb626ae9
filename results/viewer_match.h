/* The occurrences of the search text in the viewer's shown document.
 *
 * When the viewer has loaded a letter or a prescription, the occurrences of the search text in the
 * text the control displays (not in the rich-text source) are found with the search's own folding
 * and marked (the first ones, within the bounds below), and the first one is selected and scrolled
 * into view. F3 selects the next occurrence and Shift+F3 the previous one, wrapping around. The
 * marks are character formats of the control only: the document itself is never changed, and
 * loading the next document replaces them. */
#ifndef SONDREL_RESULTS_VIEWER_MATCH_H
#define SONDREL_RESULTS_VIEWER_MATCH_H

#include <stdint.h>
#include <windows.h>

enum {
    /* Occurrences visited with F3 per document; those beyond are neither marked nor visited. */
    VIEWER_MAX_OCCURRENCES = 10000,
    /* Occurrences marked per document, at most: the first ones. Each mark splits a format run of
     * its paragraph and the control lays the whole paragraph out again after each one, so marking
     * costs about (marks in a paragraph) x (its length + its runs): under Wine, 300 marks took 0.5 s
     * in a paragraph of 2,000 characters and 3 s in one of 8,000; 1,000 marks took 13 s in the
     * first. So marking also stops once VIEWER_MARK_BUDGET_MS have passed (after at least one
     * mark). F3 still selects the occurrences beyond, unmarked. */
    VIEWER_MAX_MARKS = 300,
    VIEWER_MARK_BUDGET_MS = 300
};

/* Background of an occurrence where the control keeps one (RichEdit 2.0 and later; Wine's RichEdit
 * 1.0 too). */
#define VIEWER_MARK_BACKGROUND RGB(255, 255, 0)
/* Text colour of an occurrence, shown bold, where the control has no background colour (the
 * RichEdit 1.0 of Windows). */
#define VIEWER_MARK_TEXT_COLOUR RGB(192, 0, 0)

/* Marks the occurrences of `searchText` in the text `richEdit` shows now and selects the first one;
 * forgets the marks of the document shown before. Marks nothing in the form search modes (2 and 3),
 * for an empty search text or a control without text. The search text is given as typed and is
 * folded here with the search's Folding.FoldTable. Returns the number of occurrences kept for F3 (at most
 * VIEWER_MAX_OCCURRENCES; the first ones of them are marked). */
int MarkOccurrences(HWND richEdit, int32_t searchMode, const char* searchText);
/* Selects the next (direction 1) or previous (-1) marked occurrence, wrapping, and scrolls it into
 * view. Nothing without marks. */
void StepOccurrence(int direction);
/* F3 and Shift+F3 in `dialog` and its controls call StepOccurrence from now on. */
void StartOccurrenceKeys(HWND dialog);
/* Ends StartOccurrenceKeys and forgets the marks. */
void StopOccurrenceKeys(void);

#endif
