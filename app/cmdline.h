/* The process command line.
 *
 * The program takes no arguments, but it still finds where they would start, the way a Windows
 * program's start-up code does: past the program name, which is either quoted ("C:\x y\sondrel.exe")
 * or runs up to the first space, and past the spaces after it. Only the space character separates;
 * the line is never written to and never read past its terminator. */
#ifndef SONDREL_APP_CMDLINE_H
#define SONDREL_APP_CMDLINE_H

/* Returns the part of the zero-terminated command line that follows the program name and the spaces
 * after it: a pointer into `line`, or to its terminator when nothing follows. A quoted name without its
 * closing quote takes the whole line. A null line gives an empty text. */
const char* SkipProgramName(const char* line);

#endif
