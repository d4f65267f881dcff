/* A clipboard owner serving one text, as a password manager or a slow program would:
 *   --secret     adds x-kde-passwordManagerHint = "secret" to its formats, as password managers do;
 *   --trickle MS sends the text by INCR, one chunk of 64 bytes every MS milliseconds, and never
 *                ends (the text is repeated), as a broken program would.
 * Prints its window id ("0x...") once it owns the clipboard, "request TARGET" for every request,
 * "chunk N" for every chunk sent, "stopped" when the reader of an INCR transfer went away, and
 * "lost" when another client takes the clipboard.
 * Usage: text_owner [--secret] [--trickle MS] TEXT   (DISPLAY names the X server) */
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

#include "xcb_selection.h"

int main(int argc, char** argv) {
    int secret = 0, trickleMs = 0;
    const char* text = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--secret") == 0) {
            secret = 1;
        } else if (strcmp(argv[i], "--trickle") == 0 && i + 1 < argc) {
            trickleMs = atoi(argv[++i]);
        } else {
            text = argv[i];
        }
    }
    if (text == NULL) {
        fprintf(stderr, "usage: text_owner [--secret] [--trickle MS] TEXT\n");
        return 2;
    }
    xcb_window_t window;
    xcb_connection_t* c = ConnectWithWindow("text_owner", &window);
    if (c == NULL) return 1;
    const xcb_atom_t clipboard = InternAtom(c, "CLIPBOARD");
    const xcb_atom_t targets = InternAtom(c, "TARGETS");
    const xcb_atom_t utf8 = InternAtom(c, "UTF8_STRING");
    const xcb_atom_t incr = InternAtom(c, "INCR");
    const xcb_atom_t hint = InternAtom(c, "x-kde-passwordManagerHint");
    if (!TakeSelection(c, window, clipboard, "text_owner")) return 1;
    printf("0x%08x\n", window);
    fflush(stdout);

    /* The INCR transfer in progress: the requestor's window and property. */
    xcb_window_t requestor = XCB_WINDOW_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    long chunks = 0;
    const size_t length = strlen(text);
    size_t offset = 0;
    struct pollfd fd = {xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (event == NULL) {
            if (xcb_connection_has_error(c)) return 0;
            if (poll(&fd, 1, requestor != XCB_WINDOW_NONE ? trickleMs : -1) == 0 &&
                requestor != XCB_WINDOW_NONE) {
                /* The next chunk, whether or not the requestor took the last one. */
                char chunk[64];
                for (size_t i = 0; i < sizeof chunk; ++i) {
                    chunk[i] = text[offset];
                    offset = (offset + 1) % length;
                }
                xcb_change_property(c, XCB_PROP_MODE_APPEND, requestor, property, utf8, 8,
                                    sizeof chunk, chunk);
                xcb_flush(c);
                printf("chunk %ld\n", ++chunks);
                fflush(stdout);
            }
            continue;
        }
        const uint8_t type = event->response_type & 0x7f;
        if (event->response_type == 0 && requestor != XCB_WINDOW_NONE) {
            /* BadWindow: the requestor gave the transfer up and destroyed its window. */
            requestor = XCB_WINDOW_NONE;
            printf("stopped\n");
            fflush(stdout);
        } else if (type == XCB_SELECTION_CLEAR) {
            printf("lost\n");
            fflush(stdout);
        } else if (type == XCB_SELECTION_REQUEST) {
            const xcb_selection_request_event_t* request = (xcb_selection_request_event_t*)event;
            PrintRequest(c, request, "");
            xcb_atom_t answer = XCB_ATOM_NONE;
            if (request->target == targets) {
                const xcb_atom_t offered[] = {targets, utf8, hint};
                answer = AnswerTargets(c, request, offered, secret ? 3 : 2);
            } else if (request->target == hint && secret) {
                answer = AnswerText(c, request, utf8, "secret", 6);
            } else if (request->target == utf8 && trickleMs > 0) {
                const uint32_t size = 1u << 20; /* a lower bound, as INCR says */
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                    incr, 32, 1, &size);
                requestor = request->requestor;
                property = request->property;
                answer = request->property;
            } else if (request->target == utf8) {
                answer = AnswerText(c, request, utf8, text, (uint32_t)length);
            }
            ReplySelectionRequest(c, request, answer);
        }
        free(event);
    }
}
