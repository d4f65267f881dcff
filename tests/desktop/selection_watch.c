/* Watches the owner of the CLIPBOARD selection through XFixes.
 *   selection_watch owner   prints the current owner's window id ("0x...", 0x00000000 for none)
 *   selection_watch count   prints "ready", then one line "owner 0x..." for every change of owner
 *                           (a client setting itself as owner again counts too) until killed
 * DISPLAY names the X server. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

int main(int argc, char** argv) {
    if (argc != 2 || (strcmp(argv[1], "owner") != 0 && strcmp(argv[1], "count") != 0)) {
        fprintf(stderr, "usage: selection_watch owner|count\n");
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(NULL, &screenNumber);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "selection_watch: cannot open the display\n");
        return 1;
    }
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 9, "CLIPBOARD"), NULL);
    if (atom == NULL) return 1;
    const xcb_atom_t clipboard = atom->atom;
    free(atom);

    if (strcmp(argv[1], "owner") == 0) {
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), NULL);
        if (owner == NULL) return 1;
        printf("0x%08x\n", owner->owner);
        free(owner);
        return 0;
    }

    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (xfixes == NULL || !xfixes->present) {
        fprintf(stderr, "selection_watch: no XFixes\n");
        return 1;
    }
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), NULL));
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    xcb_xfixes_select_selection_input(c, it.data->root, clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    /* A round trip: once it returns, the server sends every later change. */
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));
    printf("ready\n");
    fflush(stdout);
    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
        if ((event->response_type & 0x7f) == xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY) {
            const xcb_xfixes_selection_notify_event_t* notify =
                (xcb_xfixes_selection_notify_event_t*)event;
            printf("owner 0x%08x\n", notify->owner);
            fflush(stdout);
        }
        free(event);
    }
    return 0;
}
