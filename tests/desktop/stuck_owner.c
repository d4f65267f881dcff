/* A clipboard owner that never answers: takes the CLIPBOARD selection and ignores every request
 * for it, as a hung program would. With --answer-targets it answers TARGETS (offering
 * UTF8_STRING) but never sends the text itself. Prints its window id ("0x...") once it owns the
 * selection, then runs until it is killed; it prints "lost" if another client takes the
 * selection, and "request TARGET MS" for every request (MS: milliseconds since it took the
 * selection).
 * Usage: stuck_owner [--answer-targets]   (DISPLAY names the X server) */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <xcb/xcb.h>

#include "xcb_selection.h"

static long long NowMs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

int main(int argc, char** argv) {
    const int answerTargets = argc > 1 && strcmp(argv[1], "--answer-targets") == 0;
    xcb_window_t window;
    xcb_connection_t* c = ConnectWithWindow("stuck_owner", &window);
    if (c == NULL) return 1;
    const xcb_atom_t clipboard = InternAtom(c, "CLIPBOARD");
    const xcb_atom_t targets = InternAtom(c, "TARGETS");
    const xcb_atom_t utf8 = InternAtom(c, "UTF8_STRING");

    if (!TakeSelection(c, window, clipboard, "stuck_owner")) return 1;
    printf("0x%08x\n", window);
    fflush(stdout);
    const long long start = NowMs();

    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            printf("lost\n");
            fflush(stdout);
        } else if (type == XCB_SELECTION_REQUEST) {
            const xcb_selection_request_event_t* request = (xcb_selection_request_event_t*)event;
            char elapsed[32];
            snprintf(elapsed, sizeof elapsed, " %lld", NowMs() - start);
            PrintRequest(c, request, elapsed);
            if (answerTargets && request->target == targets) {
                const xcb_atom_t offered[] = {targets, utf8};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                    XCB_ATOM_ATOM, 32, 2, offered);
                ReplySelectionRequest(c, request, request->property);
            }
            /* Requests for the text itself stay unanswered. */
        }
        free(event);
    }
    return 0;
}
