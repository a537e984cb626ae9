/* Bounded text helpers.
 *
 * Every fixed buffer of the program is written through these three operations. Each one always
 * leaves a terminated text in the destination (when the destination has room for at least the
 * terminator), never writes past `size` bytes, and tells whether the whole text fitted: 1 when it
 * did, 0 when it was cut short. Texts are 8-bit Windows-1252: one character is one byte, so cutting
 * never splits a character. */
#ifndef SONDREL_BASE_STR_H
#define SONDREL_BASE_STR_H

#include <stdarg.h>
#include <stddef.h>

#if defined(__GNUC__)
#define STR_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define STR_PRINTF_LIKE(f, a)
#endif

/* Copies src into dst. */
int StrCopy(char* dst, size_t size, const char* src);
/* Copies at most n bytes of src (fewer if it ends earlier) into dst. */
int StrCopyN(char* dst, size_t size, const char* src, size_t n);
/* Appends src to the terminated text in dst. */
int StrAppend(char* dst, size_t size, const char* src);
/* Formats into dst, printf style. */
int StrFormat(char* dst, size_t size, const char* fmt, ...) STR_PRINTF_LIKE(3, 4);
int StrFormatV(char* dst, size_t size, const char* fmt, va_list args);
/* The decimal number at the start of a text, as atoi reads it: leading white space (space, TAB,
 * LF, VT, FF, CR), an optional sign, then digits up to the first other character; 0 without digits.
 * Unlike atoi it never overflows: values beyond 32 bits saturate at INT32_MIN / INT32_MAX. */
int StrLeadingInt(const char* s);
/* Length of the text, reading at most max bytes. */
size_t StrLenBounded(const char* s, size_t max);

/* Comparisons that ignore case. The ASCII ones fold only 'A'..'Z' and compare every other byte as
 * itself (an accented letter matches only itself); the Windows-1252 one also folds the accented
 * capitals, as the file system does for folder names. A NULL text reads as the empty text. */

/* _stricmp: the difference of the first differing pair of bytes, the ASCII capitals taken as small
 * letters (unsigned bytes); 0 for equal texts. */
int StrCompareNoCase(const char* a, const char* b);
/* The first occurrence of pattern in text, ignoring ASCII case; the text itself for an empty
 * pattern; NULL when there is none or either is NULL. */
const char* StrFindNoCase(const char* text, const char* pattern);
/* 1 when the texts are equal over at most max bytes (or up to their end), ignoring the case of the
 * Windows-1252 letters (A-Z, À-Þ except ×, and Š Œ Ž Ÿ); 0 otherwise, and always 0 for max 0:
 * nothing compared proves nothing equal. */
int StrEqualNoCase1252N(const char* a, const char* b, size_t max);

#endif
