/* A clipboard history, as clipboard managers keep one (Klipper, CopyQ, GPaste): told by XFixes of
 * every new clipboard owner, it asks for the formats and records the text, unless the formats
 * carry x-kde-passwordManagerHint (password managers' mark), which such managers leave out.
 * Prints "ready", then "recorded TEXT" or "skipped secret" for every new owner. With "greedy" it
 * asks for the text at once, as a history does that asked an earlier owner for its formats.
 * Usage: clipboard_history [greedy]   (DISPLAY names the X server; runs until it is killed) */
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include "xcb_selection.h"

static xcb_connection_t* c;
static xcb_window_t window;
static xcb_atom_t clipboard, property;

/* The owner's answer for TARGET, or NULL; waits at most two seconds. Other events are dropped,
 * the owner changes among them (the next one is recorded all the same). */
static xcb_get_property_reply_t* Fetch(xcb_atom_t target) {
    xcb_convert_selection(c, window, clipboard, target, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    struct pollfd fd = {xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (event == NULL) {
            if (poll(&fd, 1, 2000) <= 0) return NULL;
            continue;
        }
        const int done = (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
        const xcb_atom_t got = done ? ((xcb_selection_notify_event_t*)event)->property : 0;
        free(event);
        if (!done) continue;
        if (got == XCB_ATOM_NONE) return NULL;
        return xcb_get_property_reply(
            c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
            NULL);
    }
}

/* Asks for the text and prints it as recorded. */
static void Record(xcb_atom_t utf8) {
    xcb_get_property_reply_t* text = Fetch(utf8);
    if (text == NULL) return;
    printf("recorded %.*s\n", xcb_get_property_value_length(text),
           (const char*)xcb_get_property_value(text));
    free(text);
}

int main(int argc, char** argv) {
    const int greedy = argc > 1 && strcmp(argv[1], "greedy") == 0;
    c = ConnectWithWindow("clipboard_history", &window);
    if (c == NULL) return 1;
    clipboard = InternAtom(c, "CLIPBOARD");
    property = InternAtom(c, "LITVOROT_TEST_HISTORY");
    const xcb_atom_t targets = InternAtom(c, "TARGETS");
    const xcb_atom_t utf8 = InternAtom(c, "UTF8_STRING");
    const xcb_atom_t hint = InternAtom(c, "x-kde-passwordManagerHint");
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (xfixes == NULL || !xfixes->present) {
        fprintf(stderr, "clipboard_history: no XFixes\n");
        return 1;
    }
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), NULL));
    xcb_xfixes_select_selection_input(c, window, clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    xcb_flush(c);
    printf("ready\n");
    fflush(stdout);

    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
        const int changed =
            event->response_type == xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY &&
            ((xcb_xfixes_selection_notify_event_t*)event)->owner != XCB_WINDOW_NONE;
        free(event);
        if (!changed) continue;
        if (!greedy) {
            xcb_get_property_reply_t* offered = Fetch(targets);
            if (offered == NULL) continue;
            int secret = 0;
            const xcb_atom_t* atoms = xcb_get_property_value(offered);
            for (int i = 0; i < xcb_get_property_value_length(offered) / 4; ++i) {
                secret = secret || atoms[i] == hint;
            }
            free(offered);
            if (secret) {
                printf("skipped secret\n");
                fflush(stdout);
                continue;
            }
        }
        Record(utf8);
        fflush(stdout);
    }
    return 0;
}
