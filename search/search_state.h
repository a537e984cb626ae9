/* The values the main window shares with the search run.
 *
 * `SearchShared.SearchControl` tells the window whether a search is running and carries the window's cancel
 * request to the run; `SearchShared.lastSearchMode` remembers the kind of document searched last, for the
 * viewer. The two threads share them without a lock: every field is one 32-bit word held in a std::atomic, so
 * each read and write is atomic and, being sequentially consistent, visible to the other thread in program
 * order. Each transition has a single writer (see the field comments).
 *
 * The launch guard. The run raises `running` only once it has read its inputs from the window, so
 * right after "Lancer" there is an interval in which `running` is still 0. The window therefore
 * sets a third word, `starting`, before it creates the search thread; the run clears it right
 * after it has raised `running` (SearchRunBegin), or the window clears it when the thread cannot be
 * created (LaunchFailed), or a run that gives up before raising `running` clears it
 * (SearchRunAbandon). While `starting` is 1:
 *   - "Lancer" is ignored: it neither starts a second run nor records a cancel that the starting
 *     run would wipe out when it resets `cancelRequest`;
 *   - closing is retried (the window posts itself WM_CLOSE again) until the run is up, so that the
 *     close becomes an ordinary deferred close instead of ending the program under a starting run;
 *   - "Ouvrir" is refused as during a search, since the starting run is about to release the
 *     records a viewer would show.
 * The window reads `starting` before `running`, and the run writes `running` before clearing
 * `starting`; so when the window sees `starting` 0 it also sees the `running` 1 of a run that has
 * just come up.
 *
 * Portable: no <windows.h>; the window glue and the run call these operations. */
#ifndef SONDREL_SEARCH_SEARCH_STATE_H
#define SONDREL_SEARCH_SEARCH_STATE_H

#include <atomic>
#include <stdint.h>

/* SearchMode: the kind of document a search scans, chosen with the four radio buttons. */
enum {
    SEARCH_MODE_LETTERS = 0,       /* radio 234 "Courriers" */
    SEARCH_MODE_PRESCRIPTIONS = 1, /* radio 240 "Ordonnances" */
    SEARCH_MODE_FORM = 2,          /* radio 241 "Formulon": the chosen form type's identifier */
    SEARCH_MODE_FORM_TEXT = 3      /* radio 242 "Formulon texte brut": the typed text */
};

/* Values of SearchShared.SearchControl.cancelRequest. */
enum {
    CANCEL_NONE = 0,     /* no request */
    CANCEL_STOP = 1,     /* stop the search */
    CANCEL_AND_CLOSE = 2 /* stop the search, then close the main window */
};

struct SearchControlWords {
    std::atomic<int32_t> running;       /* 1 while a run is in progress; written by the run only */
    std::atomic<int32_t> cancelRequest; /* CANCEL_*; the window writes 1 or 2 while running is 1,
                                           the run writes 0 at its start and its end */
    std::atomic<int32_t> starting;      /* 1 from "Lancer" until the run has raised running (the
                                           launch guard above); set by the window, cleared once */
};

extern SearchControlWords SearchControl;
/* SearchMode of the last search started (0 until then); written by the run only. */
extern std::atomic<int32_t> lastSearchMode;

/* What "Lancer" does, decided by LaunchDecision. */
enum {
    LAUNCH_START = 0,  /* start a run: `starting` is now 1, the caller creates the thread */
    LAUNCH_CANCEL = 1, /* a run is in progress: cancelRequest is now 1 */
    LAUNCH_IGNORED = 2 /* a run is starting: nothing happens */
};
/* Window side of "Lancer". */
int LaunchDecision(void);
/* Window side: the search thread could not be created; clears `starting`. */
void LaunchFailed(void);

/* What WM_CLOSE does, decided by CloseDecision. */
enum {
    CLOSE_NOW = 0,      /* no search: close the cabinet and end the window */
    CLOSE_DEFERRED = 1, /* a search runs: cancelRequest is now 2, the run will post WM_CLOSE */
    CLOSE_RETRY = 2     /* a run is starting: ask again a moment later */
};
/* Window side of WM_CLOSE. */
int CloseDecision(void);

/* 1 while a run is starting or running: "Ouvrir" is refused. */
int SearchActive(void);

/* Window side, between runs: forgets a cancel request that no run will take (nothing while a run is
 * starting or running). The import calls it before it fills the list, whose summary would otherwise
 * read "Annulé !" for a request left over from a run that had ended as "Annuler" was pressed. */
void DropStaleCancel(void);

/* Run side, once its inputs are read: running = 1, cancelRequest = 0, then starting = 0. */
void SearchRunBegin(void);
/* Run side, for a run that ends before SearchRunBegin: starting = 0. */
void SearchRunAbandon(void);
/* Run side, at its end: running = 0, then takes and resets cancelRequest in one step. Returns 1
 * when the window asked to be closed (the caller then posts WM_CLOSE to it), else 0. */
int SearchRunFinish(void);

#endif
