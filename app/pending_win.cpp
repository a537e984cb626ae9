/* Placeholders for operations the main window calls that are not written yet.
 *
 * Each entry here stands in for one operation of another folder, declared in that folder's header,
 * and does nothing, so that the main window builds and runs while the rest of the program is being
 * written. These are replaced as each feature lands: the work that writes an operation deletes its
 * entry from this file (and the file goes when it is empty). */
#include "app/search_state.h"

