// The user's keyboard, for the Wayland tests: a virtual keyboard with a whole keymap (the
// layouts given, "us" by default) that stays on the seat, as a keyboard that is plugged in, and
// presses the keys of each line read from FIFO (standard input without it) the way a person
// would, modifiers as keys of their own:
//
//   test_keyboard [--layout us,ru] [FIFO]      then: echo 'ctrl+a shift+Home ctrl+s End' >FIFO
//
// Each word is one chord: modifiers (ctrl, shift, alt) and an XKB key name, pressed in order and
// let go in reverse; "down:shift" and "up:shift" hold a key and let it go; "code:46:1" and
// "code:46:0" press and let go a key by its evdev code (what a desktop portal is handed). "ok"
// goes to standard output once the compositor has taken a line's keys ("ready" once the keyboard
// is there).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

static struct wl_seat* seat;
static struct zwp_virtual_keyboard_manager_v1* manager;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && seat == NULL) {
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        manager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    }
}
static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

// The first key whose first two levels in the first layout give `sym`; 0 for none.
static xkb_keycode_t key_for(struct xkb_keymap* keymap, xkb_keysym_t sym) {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
         code <= xkb_keymap_max_keycode(keymap); ++code) {
        for (xkb_level_index_t level = 0; level < 2; ++level) {
            const xkb_keysym_t* syms;
            int n = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms);
            for (int i = 0; i < n; ++i) {
                if (syms[i] == sym) return code;
            }
        }
    }
    return 0;
}

static uint32_t now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// A key of the chord going down or up. A virtual keyboard's keys do not move its modifiers (the
// compositor takes them as they are stated), so the keyboard's state follows each key, as a
// physical keyboard's does in the compositor, and is stated after it.
static void key(struct zwp_virtual_keyboard_v1* keyboard, struct xkb_state* state,
                xkb_keycode_t code, int pressed) {
    zwp_virtual_keyboard_v1_key(
        keyboard, now_ms(), code - 8,
        pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state, code, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(
        keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
}

// Presses the chord `word` ("ctrl+shift+Left") and lets it go; 0 once the compositor has it.
static xkb_keycode_t named_key(struct xkb_keymap* keymap, const char* name) {
    xkb_keysym_t sym = strcmp(name, "ctrl") == 0    ? XKB_KEY_Control_L
                       : strcmp(name, "shift") == 0 ? XKB_KEY_Shift_L
                       : strcmp(name, "alt") == 0   ? XKB_KEY_Alt_L
                                                    : xkb_keysym_from_name(name, 0);
    xkb_keycode_t code = sym == XKB_KEY_NoSymbol ? 0 : key_for(keymap, sym);
    if (code == 0) fprintf(stderr, "test_keyboard: no key for '%s'\n", name);
    return code;
}

static int press(struct wl_display* display, struct zwp_virtual_keyboard_v1* keyboard,
                 struct xkb_keymap* keymap, struct xkb_state* state, char* word) {
    unsigned evdev = 0, down = 0;
    if (sscanf(word, "code:%u:%u", &evdev, &down) == 2) {
        key(keyboard, state, evdev + 8, down != 0);
        return wl_display_roundtrip(display) < 0;
    }
    int hold = strncmp(word, "down:", 5) == 0;
    if (hold || strncmp(word, "up:", 3) == 0) {
        xkb_keycode_t code = named_key(keymap, word + (hold ? 5 : 3));
        if (code == 0) return 1;
        key(keyboard, state, code, hold);
        return wl_display_roundtrip(display) < 0;
    }
    xkb_keycode_t chord[8];
    int count = 0;
    char* rest = NULL;
    for (char* part = strtok_r(word, "+", &rest); part != NULL && count < 8;
         part = strtok_r(NULL, "+", &rest)) {
        xkb_keycode_t code = named_key(keymap, part);
        if (code == 0) return 1;
        chord[count++] = code;
    }
    for (int i = 0; i < count; ++i) key(keyboard, state, chord[i], 1);
    for (int i = count - 1; i >= 0; --i) key(keyboard, state, chord[i], 0);
    // Each chord taken before the next: a window reads a chord from the keys' order alone.
    return wl_display_roundtrip(display) < 0;
}

int main(int argc, char** argv) {
    const char* layout = "us";
    int arg = 1;
    if (argc > 2 && strcmp(argv[1], "--layout") == 0) {
        layout = argv[2];
        arg = 3;
    }
    // A FIFO is opened for reading and writing: it then never ends while the test writes to it
    // now and then.
    FILE* input = arg < argc ? fopen(argv[arg], "r+") : stdin;
    if (input == NULL) {
        perror("test_keyboard: input");
        return 1;
    }
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) {
        fprintf(stderr, "test_keyboard: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    static const struct wl_registry_listener listener = {global, global_remove};
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (seat == NULL || manager == NULL) {
        fprintf(stderr, "test_keyboard: no seat or no virtual keyboard\n");
        return 1;
    }

    struct xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct xkb_rule_names names = {NULL, NULL, layout, NULL, NULL};
    struct xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, 0);
    if (keymap == NULL) {
        fprintf(stderr, "test_keyboard: layout %s does not compile\n", layout);
        return 1;
    }
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = strlen(text) + 1;
    int fd = memfd_create("test-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != (ssize_t)size) return 1;
    struct zwp_virtual_keyboard_v1* keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
    close(fd);
    free(text);

    struct xkb_state* state = xkb_state_new(keymap);
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);
    char line[4096];
    while (fgets(line, sizeof line, input) != NULL) {
        for (char* word = strtok(line, " \t\n"); word != NULL; word = strtok(NULL, " \t\n")) {
            if (press(display, keyboard, keymap, state, word) != 0) return 2;
        }
        printf("ok\n");
        fflush(stdout);
    }
    zwp_virtual_keyboard_v1_destroy(keyboard);
    wl_display_roundtrip(display);
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    wl_display_disconnect(display);
    return 0;
}
