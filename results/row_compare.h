/* Comparing two result rows by one column's cell texts.
 *
 * A header click sorts the rows by that column, comparing the texts the cells show: as text
 * ("N° dossier", names, authors, social-security number, scheme), as a number ("Nombre
 * d'occurences" as atoi reads it; "Age" by its leading digits, so whole years only), or as a date
 * (first and last occurrence, "dd/mm/yyyy" rewritten as "yyyy mm dd" so that text order is date
 * order, a zero date "00/00/   0" sorting before every real date). Text comparison ignores the case
 * of the ASCII letters only and orders other bytes by their unsigned value. */
#ifndef SONDREL_RESULTS_ROW_COMPARE_H
#define SONDREL_RESULTS_ROW_COMPARE_H

#include <stddef.h>

#include "search/result_format.h"

/* The room of one cell text compared (terminator included); the columns are ResultColumnIndex. */
enum { SORT_CELL_SIZE = 260 };

/* How a column's cells compare: as text, as a number (atoi), by leading digits, or as a date. */
enum { COMPARE_TEXT = 0, COMPARE_NUMBER = 1, COMPARE_LEADING_DIGITS = 2, COMPARE_DATE = 3 };
/* The rule of one column (a ResultColumnIndex); COMPARE_TEXT for any other number. */
int ColumnCompareRule(int column);

/* Negative when text a goes before text b in the column sorted in the given direction (0 ascending,
 * non-zero descending), 0 when they compare equal, positive otherwise. */
int CompareCellTexts(int column, const char* a, const char* b, int descending);

#endif
