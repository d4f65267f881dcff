/* Measures replacing the selection as the user meets it: this probe is the editor in front (a
 * focused window that copies its "selection" on Ctrl+C and fetches the clipboard on Ctrl+V) and
 * the user (Shift+Pause through XTEST). For each press: from the release of the keys to the text
 * in place (the pasted text received), and the whole round until the pasted text has been
 * selected again (Shift+Left for each character). Prints the median and the worst.
 * Usage: selection_probe TEXT_FILE PRESSES   (DISPLAY names the X server; the window must get the
 * focus: the script activates it) */
#include <X11/keysym.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include "tests/desktop/xcb_selection.h"

static double NowMs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec * 1000.0 + (double)now.tv_nsec / 1e6;
}

static int Compare(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

static xcb_keycode_t Code(xcb_key_symbols_t* symbols, xcb_keysym_t sym) {
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, sym);
    const xcb_keycode_t code = codes != NULL ? codes[0] : 0;
    free(codes);
    return code;
}

/* Code points of UTF-8 TEXT. */
static long Characters(const char* text, size_t length) {
    long count = 0;
    for (size_t i = 0; i < length; ++i) count += ((unsigned char)text[i] & 0xC0) != 0x80;
    return count;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: selection_probe TEXT_FILE PRESSES\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "rb");
    if (in == NULL) return 1;
    static char text[1 << 20];
    const size_t length = fread(text, 1, sizeof text, in);
    fclose(in);
    const int presses = atoi(argv[2]);

    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(NULL, &screenNumber);
    if (xcb_connection_has_error(c)) return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {screen->white_pixel,
                               XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                   XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_FOCUS_CHANGE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 300, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 30,
                        "selection_probe\0selection_probe");
    xcb_map_window(c, window);
    xcb_flush(c);
    printf("0x%08x\n", window);
    fflush(stdout);

    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    const xcb_keycode_t shift = Code(symbols, XK_Shift_L), pause = Code(symbols, XK_Pause);
    const xcb_keycode_t keyC = Code(symbols, XK_c), keyV = Code(symbols, XK_v);
    const xcb_keycode_t left = Code(symbols, XK_Left);
    const xcb_atom_t clipboard = InternAtom(c, "CLIPBOARD"), targets = InternAtom(c, "TARGETS");
    const xcb_atom_t utf8 = InternAtom(c, "UTF8_STRING"), property = InternAtom(c, "PROBE");
    const xcb_atom_t active = InternAtom(c, "_NET_ACTIVE_WINDOW");

    /* Until the window manager makes this window the active one. */
    for (int i = 0; i < 400; ++i) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, screen->root, active, XCB_ATOM_WINDOW, 0, 1), NULL);
        const int ours = reply != NULL && xcb_get_property_value_length(reply) == 4 &&
                         *(xcb_window_t*)xcb_get_property_value(reply) == window;
        free(reply);
        if (ours) break;
        struct timespec pause10 = {0, 10000000};
        nanosleep(&pause10, NULL);
    }

    double* inPlace = calloc((size_t)presses, sizeof(double));
    double* round = calloc((size_t)presses, sizeof(double));
    for (int press = 0; press < presses; ++press) {
        const double start = NowMs();
        xcb_test_fake_input(c, XCB_KEY_PRESS, shift, XCB_CURRENT_TIME, screen->root, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_PRESS, pause, XCB_CURRENT_TIME, screen->root, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, pause, XCB_CURRENT_TIME, screen->root, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, shift, XCB_CURRENT_TIME, screen->root, 0, 0, 0);
        xcb_flush(c);
        const double released = NowMs();
        long lefts = -1, expected = -2;
        int control = 0;
        while (lefts != expected) {
            xcb_generic_event_t* event = xcb_wait_for_event(c);
            if (event == NULL) return 1;
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
                const xcb_key_press_event_t* key = (xcb_key_press_event_t*)event;
                const int down = type == XCB_KEY_PRESS;
                if (key->detail == Code(symbols, XK_Control_L)) control = down;
                if (down && control && key->detail == keyC) {
                    /* Copy: this window's "selection" goes on the clipboard. */
                    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
                } else if (down && control && key->detail == keyV) {
                    xcb_delete_property(c, window, property);
                    xcb_convert_selection(c, window, clipboard, utf8, property, XCB_CURRENT_TIME);
                } else if (down && key->detail == left && lefts >= 0) {
                    ++lefts;
                }
                xcb_flush(c);
            } else if (type == XCB_SELECTION_REQUEST) {
                const xcb_selection_request_event_t* request =
                    (xcb_selection_request_event_t*)event;
                xcb_atom_t answer = XCB_ATOM_NONE;
                if (request->target == targets) {
                    const xcb_atom_t offered[] = {targets, utf8};
                    answer = AnswerTargets(c, request, offered, 2);
                } else if (request->target == utf8) {
                    answer = AnswerText(c, request, utf8, text, (uint32_t)length);
                }
                ReplySelectionRequest(c, request, answer);
            } else if (type == XCB_SELECTION_NOTIFY) {
                /* The pasted text: in place now. Reading it deletes the property, which tells
                 * the program that it was fetched. */
                xcb_get_property_reply_t* reply = xcb_get_property_reply(
                    c,
                    xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 22),
                    NULL);
                inPlace[press] = NowMs() - released;
                expected = reply != NULL ? Characters(xcb_get_property_value(reply),
                                                      (size_t)xcb_get_property_value_length(reply))
                                         : 0;
                lefts = 0;
                free(reply);
                xcb_flush(c);
            }
            free(event);
        }
        round[press] = NowMs() - start;
    }
    qsort(inPlace, (size_t)presses, sizeof(double), Compare);
    qsort(round, (size_t)presses, sizeof(double), Compare);
    printf("key release to text in place: median %.1f ms, worst %.1f ms (%d presses, %zu bytes)\n",
           inPlace[presses / 2], inPlace[presses - 1], presses, length);
    printf("whole round, the pasted text selected again: median %.1f ms, worst %.1f ms\n",
           round[presses / 2], round[presses - 1]);
    return 0;
}
