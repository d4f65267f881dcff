/* Owns the clipboard as a file manager does after Copy: offers the files as a URI list, in
 * GNOME's own format, and as plain text (their paths). Prints "ready" once it owns the clipboard
 * and "lost" when another program takes it over.
 * Usage: files_owner   (DISPLAY names the X server; runs until it is killed) */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

#include "xcb_selection.h"

int main(void) {
    xcb_window_t window;
    xcb_connection_t* c = ConnectWithWindow("files_owner", &window);
    if (c == NULL) return 1;
    const xcb_atom_t clipboard = InternAtom(c, "CLIPBOARD");
    const xcb_atom_t targets = InternAtom(c, "TARGETS");
    struct {
        xcb_atom_t atom;
        const char* data;
    } offers[] = {
        {InternAtom(c, "text/uri-list"), "file:///tmp/privet.txt\r\n"},
        {InternAtom(c, "x-special/gnome-copied-files"), "copy\nfile:///tmp/privet.txt"},
        {InternAtom(c, "UTF8_STRING"), "/tmp/privet.txt"},
        {InternAtom(c, "text/plain;charset=utf-8"), "/tmp/privet.txt"},
    };
    const int count = (int)(sizeof offers / sizeof offers[0]);

    if (!TakeSelection(c, window, clipboard, "files_owner")) return 1;
    printf("ready\n");
    fflush(stdout);

    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            printf("lost\n");
            fflush(stdout);
        } else if (type == XCB_SELECTION_REQUEST) {
            const xcb_selection_request_event_t* request = (xcb_selection_request_event_t*)event;
            const xcb_atom_t property =
                request->property != XCB_ATOM_NONE ? request->property : request->target;
            xcb_atom_t answer = XCB_ATOM_NONE;
            if (request->target == targets) {
                xcb_atom_t list[8];
                list[0] = targets;
                for (int i = 0; i < count; ++i) list[i + 1] = offers[i].atom;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    XCB_ATOM_ATOM, 32, (uint32_t)count + 1, list);
                answer = property;
            }
            for (int i = 0; i < count; ++i) {
                if (request->target != offers[i].atom) continue;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    offers[i].atom, 8, (uint32_t)strlen(offers[i].data),
                                    offers[i].data);
                answer = property;
            }
            ReplySelectionRequest(c, request, answer);
        }
        free(event);
    }
    return 0;
}
