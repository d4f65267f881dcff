/* What the small X clients of the tests and the benchmark share when they own a selection. */
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

/* The atom of NAME, or XCB_ATOM_NONE when the server does not answer. */
static inline xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    const xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return atom;
}

/* Prints "request TARGET" and then SUFFIX (which begins with its own space, or is empty) for a
 * selection request, as the owners tell the tests what was asked of them. */
static inline void PrintRequest(xcb_connection_t* c, const xcb_selection_request_event_t* request,
                                const char* suffix) {
    xcb_get_atom_name_reply_t* name =
        xcb_get_atom_name_reply(c, xcb_get_atom_name(c, request->target), NULL);
    printf("request %.*s%s\n", name ? xcb_get_atom_name_name_length(name) : 0,
           name ? xcb_get_atom_name_name(name) : "", suffix);
    fflush(stdout);
    free(name);
}

/* Answers a selection request: PROPERTY holds the answer, XCB_ATOM_NONE refuses it. */
static inline void ReplySelectionRequest(xcb_connection_t* c,
                                         const xcb_selection_request_event_t* request,
                                         xcb_atom_t property) {
    xcb_selection_notify_event_t notify;
    memset(&notify, 0, sizeof notify);
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = property;
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, (const char*)&notify);
    xcb_flush(c);
}

/* Puts ATOMS (COUNT of them) in the requestor's property, as the answer to a TARGETS request;
 * gives the property to answer with. */
static inline xcb_atom_t AnswerTargets(xcb_connection_t* c,
                                       const xcb_selection_request_event_t* request,
                                       const xcb_atom_t* atoms, uint32_t count) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                        XCB_ATOM_ATOM, 32, count, atoms);
    return request->property;
}

/* Puts LENGTH bytes of TEXT, of type TYPE, in the requestor's property; gives the property to
 * answer with. */
static inline xcb_atom_t AnswerText(xcb_connection_t* c,
                                    const xcb_selection_request_event_t* request, xcb_atom_t type,
                                    const char* text, uint32_t length) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, type, 8,
                        length, text);
    return request->property;
}

/* Connects to the display named by DISPLAY and makes an input-only window on its screen, to own
 * selections with. NULL, after a message naming WHO, when the display cannot be opened. */
static inline xcb_connection_t* ConnectWithWindow(const char* who, xcb_window_t* window) {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(NULL, &screenNumber);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "%s: cannot open the display\n", who);
        return NULL;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    *window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, *window, it.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, NULL);
    return c;
}

/* Makes WINDOW the owner of SELECTION; false, after a message naming WHO, when it did not
 * become the owner. */
static inline int TakeSelection(xcb_connection_t* c, xcb_window_t window, xcb_atom_t selection,
                                const char* who) {
    xcb_set_selection_owner(c, window, selection, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), NULL);
    const int taken = owner != NULL && owner->owner == window;
    free(owner);
    if (!taken) fprintf(stderr, "%s: could not take the clipboard\n", who);
    return taken;
}
