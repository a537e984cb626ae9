/* The form chooser (combo 244) and the one-time catalogue refresh. */
#ifndef SONDREL_CATALOGUE_CATALOGUE_H
#define SONDREL_CATALOGUE_CATALOGUE_H

#include <windows.h>

/* Refills combo 244 from the FormCatalogue and selects its first entry; the first call also starts
 * the catalogue refresh. */
void FillFormCombo(HWND mainWindow);

#endif
