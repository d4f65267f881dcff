/* What the small X clients of the tests and the benchmark share when they own a selection. */
#pragma once

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
