/* The values shared by the main window and the search run, and the decisions taken on them: see
 * search_state.h for the launch guard. Every access is a sequentially consistent atomic operation,
 * so the order written here is the order the other thread observes. */
#include "search/search_state.h"

SearchControlWords SearchControl = {{0}, {0}, {0}};
std::atomic<int32_t> lastSearchMode(SEARCH_MODE_LETTERS);

int LaunchDecision(void) {
    /* `starting` first: a run that has come up raised `running` before clearing it. */
    if (SearchShared.SearchControl.starting.load() != 0) return LAUNCH_IGNORED;
    if (SearchShared.SearchControl.running.load() == 1) {
        /* Also replaces a pending close request: the window then stays open. */
        SearchShared.SearchControl.cancelRequest.store(CANCEL_STOP);
        /* A run that ended between the read and the store has already taken its request (it lowers
         * `running` before it takes `cancelRequest`) and will never take this one: take it back, so
         * the next import's summary does not read "Annulé !". No run can start meanwhile, since
         * only this thread starts runs. */
        if (SearchShared.SearchControl.running.load() != 1) {
            int32_t expected = CANCEL_STOP;
            SearchShared.SearchControl.cancelRequest.compare_exchange_strong(expected, CANCEL_NONE);
        }
        return LAUNCH_CANCEL;
    }
    SearchShared.SearchControl.starting.store(1);
    return LAUNCH_START;
}

void LaunchFailed(void) {
    SearchShared.SearchControl.starting.store(0);
}

int CloseDecision(void) {
    if (SearchShared.SearchControl.starting.load() != 0) return CLOSE_RETRY;
    if (SearchShared.SearchControl.running.load() != 1) return CLOSE_NOW;
    SearchShared.SearchControl.cancelRequest.store(CANCEL_AND_CLOSE);
    /* Still running after the store: the run has not reached its end yet, so it will take the
     * request (it lowers `running` before it takes `cancelRequest`). */
    if (SearchShared.SearchControl.running.load() == 1) return CLOSE_DEFERRED;
    /* The run ended meanwhile. Exactly one side takes the 2: if the run took it, it posts WM_CLOSE;
     * if it is still there, the run has missed it and the window closes now. */
    int32_t expected = CANCEL_AND_CLOSE;
    if (SearchShared.SearchControl.cancelRequest.compare_exchange_strong(expected, CANCEL_NONE))
        return CLOSE_NOW;
    return CLOSE_DEFERRED;
}

void DropStaleCancel(void) {
    if (SearchActive()) return;
    SearchShared.SearchControl.cancelRequest.store(CANCEL_NONE);
}

int SearchActive(void) {
    return SearchShared.SearchControl.starting.load() != 0 || SearchShared.SearchControl.running.load() == 1;
}

void SearchRunBegin(void) {
    SearchShared.SearchControl.running.store(1);
    SearchShared.SearchControl.cancelRequest.store(CANCEL_NONE);
    SearchShared.SearchControl.starting.store(0);
}

void SearchRunAbandon(void) {
    SearchShared.SearchControl.starting.store(0);
}

int SearchRunFinish(void) {
    SearchShared.SearchControl.running.store(0);
    return SearchShared.SearchControl.cancelRequest.exchange(CANCEL_NONE) == CANCEL_AND_CLOSE ? 1 : 0;
}
