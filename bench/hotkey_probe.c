/* Measures the hot key from the outside, with no tool start-up in the figures: owns CLIPBOARD and
 * serves INPUT as UTF8_STRING, presses Ctrl+Space through XTEST, waits for XFixes to report the
 * new clipboard owner, then reads the clipboard's UTF8_STRING (INCR included) until all of it has
 * arrived, and checks it against EXPECTED. Prints the median and the worst of PRESSES presses for
 * key press -> new owner and key press -> text read.
 * Usage: hotkey_probe LABEL INPUT EXPECTED PRESSES   (DISPLAY names the X server) */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <xcb/xcb.h>

#include <xcb/xfixes.h>
#include <xcb/xtest.h>
#include "tests/desktop/xcb_selection.h"

typedef struct {
    char* data;
    size_t size;
} Buffer;

static xcb_connection_t* c;
static xcb_window_t window;
static xcb_atom_t clipboardAtom, targetsAtom, utf8Atom, incrAtom, probeAtom;
static uint8_t xfixesEvent;
static Buffer served;
static int incrReads; /* reads that came in INCR pieces */

static double NowMs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec * 1000.0 + (double)now.tv_nsec / 1e6;
}

static void Die(const char* what) {
    fprintf(stderr, "hotkey_probe: %s\n", what);
    exit(1);
}

static Buffer ReadFile(const char* path) {
    Buffer b = {NULL, 0};
    FILE* f = fopen(path, "rb");
    if (f == NULL) Die("cannot open an input file");
    size_t capacity = 0;
    for (;;) {
        if (b.size == capacity) {
            capacity = capacity ? capacity * 2 : 65536;
            b.data = realloc(b.data, capacity);
            if (b.data == NULL) Die("out of memory");
        }
        const size_t n = fread(b.data + b.size, 1, capacity - b.size, f);
        if (n == 0) break;
        b.size += n;
    }
    fclose(f);
    return b;
}

static xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    if (reply == NULL) Die("intern_atom");
    const xcb_atom_t atom = reply->atom;
    free(reply);
    return atom;
}

static xcb_keycode_t KeycodeOf(xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t count = (uint8_t)(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), NULL);
    if (map == NULL) Die("get_keyboard_mapping");
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t found = 0;
    for (int k = 0; k < count && found == 0; ++k) {
        for (int s = 0; s < map->keysyms_per_keycode; ++s) {
            if (syms[k * map->keysyms_per_keycode + s] == keysym) {
                found = (xcb_keycode_t)(setup->min_keycode + k);
                break;
            }
        }
    }
    free(map);
    if (found == 0) Die("a key is missing from the keymap");
    return found;
}

/* Answers a request for our selection: TARGETS and UTF8_STRING, anything else refused. */
static void Serve(const xcb_selection_request_event_t* request) {
    xcb_atom_t property = request->property == XCB_ATOM_NONE ? request->target : request->property;
    if (request->target == targetsAtom) {
        const xcb_atom_t offered[] = {targetsAtom, utf8Atom};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM,
                            32, 2, offered);
    } else if (request->target == utf8Atom &&
               served.size + 64 < (size_t)xcb_get_maximum_request_length(c) * 4) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, utf8Atom, 8,
                            (uint32_t)served.size, served.data);
    } else {
        property = XCB_ATOM_NONE;
    }
    ReplySelectionRequest(c, request, property);
}

/* Waits for an event of TYPE (0x80 bit ignored), answering selection requests meanwhile. */
static xcb_generic_event_t* WaitFor(uint8_t type) {
    for (;;) {
        xcb_generic_event_t* event = xcb_wait_for_event(c);
        if (event == NULL) Die("the X connection broke");
        const uint8_t got = event->response_type & 0x7f;
        if (got == type) return event;
        if (got == XCB_SELECTION_REQUEST) Serve((xcb_selection_request_event_t*)event);
        free(event);
    }
}

/* Takes a property off our window (deleting it) and appends its bytes to `out`. Gives the type. */
static xcb_atom_t TakeProperty(Buffer* out, size_t* capacity) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 1, window, probeAtom, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x7fffffff),
        NULL);
    if (reply == NULL) Die("get_property");
    const xcb_atom_t type = reply->type;
    const int length = xcb_get_property_value_length(reply);
    if (type != incrAtom && length > 0) {
        if (out->size + (size_t)length > *capacity) {
            *capacity = (out->size + (size_t)length) * 2;
            out->data = realloc(out->data, *capacity);
            if (out->data == NULL) Die("out of memory");
        }
        memcpy(out->data + out->size, xcb_get_property_value(reply), (size_t)length);
        out->size += (size_t)length;
    }
    free(reply);
    return type;
}

/* Reads the clipboard's UTF8_STRING, through INCR when the owner sends it in pieces. */
static Buffer ReadClipboard(void) {
    Buffer text = {NULL, 0};
    size_t capacity = 0;
    xcb_convert_selection(c, window, clipboardAtom, utf8Atom, probeAtom, XCB_CURRENT_TIME);
    xcb_flush(c);
    xcb_selection_notify_event_t* notify =
        (xcb_selection_notify_event_t*)WaitFor(XCB_SELECTION_NOTIFY);
    const int refused = notify->property == XCB_ATOM_NONE;
    free(notify);
    if (refused) Die("the clipboard refused UTF8_STRING");
    if (TakeProperty(&text, &capacity) != incrAtom) return text;
    ++incrReads;
    /* INCR: deleting the property asked for the first piece; an empty piece ends. */
    xcb_flush(c);
    for (;;) {
        xcb_property_notify_event_t* changed =
            (xcb_property_notify_event_t*)WaitFor(XCB_PROPERTY_NOTIFY);
        const int piece = changed->atom == probeAtom && changed->state == XCB_PROPERTY_NEW_VALUE;
        free(changed);
        if (!piece) continue;
        const size_t before = text.size;
        TakeProperty(&text, &capacity);
        xcb_flush(c);
        if (text.size == before) return text;
    }
}

static int Compare(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

static void Report(const char* label, const char* what, double* values, int n) {
    qsort(values, (size_t)n, sizeof *values, Compare);
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    printf("%s: key press -> %s: median %.2f ms, worst %.2f ms (%d presses)\n", label, what, median,
           values[n - 1], n);
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: hotkey_probe LABEL INPUT EXPECTED PRESSES\n");
        return 2;
    }
    served = ReadFile(argv[2]);
    const Buffer expected = ReadFile(argv[3]);
    const int presses = atoi(argv[4]);
    if (presses <= 0) Die("PRESSES must be positive");

    int screenNumber = 0;
    c = xcb_connect(NULL, &screenNumber);
    if (xcb_connection_has_error(c)) Die("cannot open the display");
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;
    window = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    clipboardAtom = Atom("CLIPBOARD");
    targetsAtom = Atom("TARGETS");
    utf8Atom = Atom("UTF8_STRING");
    incrAtom = Atom("INCR");
    probeAtom = Atom("LITVOROT_PROBE");

    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c, &xcb_test_id);
    if (xfixes == NULL || !xfixes->present || xtest == NULL || !xtest->present) {
        Die("the X server lacks XFixes or XTEST");
    }
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), NULL));
    xfixesEvent = (uint8_t)(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    xcb_xfixes_select_selection_input(c, root, clipboardAtom,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    const xcb_keycode_t control = KeycodeOf(0xffe3); /* Control_L */
    const xcb_keycode_t space = KeycodeOf(0x0020);

    double* toOwner = calloc((size_t)presses, sizeof(double));
    double* toText = calloc((size_t)presses, sizeof(double));
    int wrong = 0;
    for (int i = 0; i < presses; ++i) {
        xcb_set_selection_owner(c, window, clipboardAtom, XCB_CURRENT_TIME);
        xcb_flush(c);
        /* Our own change of owner arrives first. */
        for (;;) {
            xcb_xfixes_selection_notify_event_t* own =
                (xcb_xfixes_selection_notify_event_t*)WaitFor(xfixesEvent);
            const int ours = own->owner == window;
            free(own);
            if (ours) break;
        }
        const struct timespec settle = {0, 50 * 1000 * 1000};
        nanosleep(&settle, NULL);

        const double t0 = NowMs();
        xcb_test_fake_input(c, XCB_KEY_PRESS, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_PRESS, space, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, space, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
        for (;;) {
            xcb_xfixes_selection_notify_event_t* change =
                (xcb_xfixes_selection_notify_event_t*)WaitFor(xfixesEvent);
            const int theirs = change->owner != window && change->owner != XCB_NONE;
            free(change);
            if (theirs) break;
        }
        const double t1 = NowMs();
        Buffer text = ReadClipboard();
        const double t2 = NowMs();
        toOwner[i] = t1 - t0;
        toText[i] = t2 - t0;
        if (text.size != expected.size || memcmp(text.data, expected.data, text.size) != 0) {
            ++wrong;
        }
        free(text.data);
    }
    Report(argv[1], "new owner", toOwner, presses);
    Report(argv[1], "text read", toText, presses);
    printf("%s: %d of %d reads came in INCR pieces\n", argv[1], incrReads, presses);
    if (wrong > 0) {
        printf("%s: %d of %d conversions gave a different text\n", argv[1], wrong, presses);
        return 1;
    }
    return 0;
}
