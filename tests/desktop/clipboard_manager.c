/* A minimal clipboard manager, as desktops run one: owns CLIPBOARD_MANAGER and, when a program
 * that owns the clipboard asks it to SAVE_TARGETS before it quits, fetches the text
 * (UTF8_STRING), takes the clipboard over and serves that text from then on. Prints "ready" once
 * it owns CLIPBOARD_MANAGER and "saved N" for every text it took over (N bytes).
 * Usage: clipboard_manager   (DISPLAY names the X server; runs until it is killed) */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

#include "xcb_selection.h"

static xcb_connection_t* c;
static xcb_window_t window;

/* Asks the clipboard's owner for its text and waits for the answer; NULL when there is none. */
static char* FetchText(xcb_atom_t clipboard, xcb_atom_t utf8, xcb_atom_t property,
                       uint32_t* length) {
    xcb_convert_selection(c, window, clipboard, utf8, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
        const int done = (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
        const xcb_atom_t got = done ? ((xcb_selection_notify_event_t*)event)->property : 0;
        free(event);
        if (!done) continue;
        if (got == XCB_ATOM_NONE) return NULL;
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
            NULL);
        if (reply == NULL || reply->type != utf8) {
            free(reply);
            return NULL;
        }
        *length = (uint32_t)xcb_get_property_value_length(reply);
        char* text = malloc(*length + 1);
        memcpy(text, xcb_get_property_value(reply), *length);
        free(reply);
        return text;
    }
    return NULL;
}

int main(void) {
    int screenNumber = 0;
    c = xcb_connect(NULL, &screenNumber);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "clipboard_manager: cannot open the display\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, it.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, NULL);
    const xcb_atom_t manager = InternAtom(c, "CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = InternAtom(c, "SAVE_TARGETS");
    const xcb_atom_t clipboard = InternAtom(c, "CLIPBOARD");
    const xcb_atom_t targets = InternAtom(c, "TARGETS");
    const xcb_atom_t utf8 = InternAtom(c, "UTF8_STRING");
    const xcb_atom_t saved = InternAtom(c, "LITVOROT_TEST_SAVED");

    xcb_set_selection_owner(c, window, manager, XCB_CURRENT_TIME);
    xcb_flush(c);
    printf("ready\n");
    fflush(stdout);

    char* text = NULL;
    uint32_t length = 0;
    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
            const xcb_selection_request_event_t* request = (xcb_selection_request_event_t*)event;
            xcb_atom_t answer = XCB_ATOM_NONE;
            if (request->selection == manager && request->target == saveTargets) {
                uint32_t fetched = 0;
                char* got = FetchText(clipboard, utf8, saved, &fetched);
                if (got != NULL) {
                    free(text);
                    text = got;
                    length = fetched;
                    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
                    printf("saved %u\n", length);
                    fflush(stdout);
                }
                answer = request->property;
            } else if (request->selection == clipboard && text != NULL) {
                if (request->target == targets) {
                    const xcb_atom_t offered[] = {targets, utf8};
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor,
                                        request->property, XCB_ATOM_ATOM, 32, 2, offered);
                    answer = request->property;
                } else if (request->target == utf8) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor,
                                        request->property, utf8, 8, length, text);
                    answer = request->property;
                }
            }
            ReplySelectionRequest(c, request, answer);
        }
        free(event);
    }
    free(text);
    return 0;
}
