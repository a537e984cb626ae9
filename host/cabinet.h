/* The current cabinet and the host version: the values the rest of the program reads.
 *
 * While the main window initialises, the program opens the cabinet that the practice software used
 * last (cabinet_win.h, OpenCurrentCabinet). The three texts found on the way stay for the whole
 * run: the status bar shows the root and the name, the form editor receives all three.
 * `Host.HostApiLevel` says where the patients' insurance scheme is read: 1 for host versions 5.0 and
 * 5.1, 2 for 5.5, 5.51, 5.55 and 5.60, 0 while the version is unknown.
 *
 * Registry texts are read into 260-byte buffers. A value that does not fit (260 bytes or more
 * without its terminator), or that is not a string, is taken as missing: the text stays empty. A
 * path cut short would name another directory, so an empty text, which makes the cabinet opening
 * fail with its message, is the safer outcome.
 *
 * This header and cabinet.cpp are portable; the Win32 operations are in cabinet_win.h. */
#ifndef SONDREL_HOST_CABINET_H
#define SONDREL_HOST_CABINET_H

#include <stddef.h>
#include <stdint.h>

enum { CABINET_TEXT_SIZE = 260 };

extern char CabinetsRoot[CABINET_TEXT_SIZE];     /* cabinets root directory ("Chemin : %s") */
extern char CabinetName[CABINET_TEXT_SIZE];      /* cabinet used last ("Cabinet : %s") */
extern char CabinetDirectory[CABINET_TEXT_SIZE]; /* that cabinet's directory name */
extern int32_t HostApiLevel;                     /* 0 unknown, 1 or 2 */

/* Host level of an HDSV.DLL file version: 1, 2, or 0 for a version this program does not know. */
int HostLevelFromVersion(unsigned major, unsigned minor);

/* Makes a registry read into buf[size] a terminated text. `ok` says the read succeeded and the
 * value is a string; `length` is the byte count the read reported. The text is emptied when the
 * read failed, and when the value fills the buffer without a terminator (too long, see above). */
void AcceptRegistryText(char* buf, size_t size, int ok, size_t length);

#endif
