/* Opening the current cabinet and checking the host version (Win32 side of host/cabinet.h). */
#ifndef SONDREL_HOST_CABINET_WIN_H
#define SONDREL_HOST_CABINET_WIN_H

#include <stdint.h>
#include <windows.h>

/* Opens the cabinet the practice software used last; `owner` owns the error messages. Fills
 * Host.CabinetsRoot, Host.CabinetName, Host.CabinetDirectory and Host.HostApiLevel. Failures are reported to
 * the user and the caller goes on. */
void OpenCurrentCabinet(HWND owner);

/* Reads the version of HDSV.DLL in the system directory and stores its level in *level. Returns 1
 * on success; 0 when the file has no version (silently) or the version is unknown (after telling
 * the user, leaving *level unchanged). */
int CheckHostVersion(int32_t* level);

#endif
