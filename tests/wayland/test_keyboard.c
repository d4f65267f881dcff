// The user's keyboard, for the Wayland tests: a virtual keyboard with a whole keymap (the
// layouts given, "us" by default), which presses the keys named on its command line the way a
// person would, modifiers as keys of their own.
//
//   test_keyboard [--layout us,ru] ctrl+a shift+Home ctrl+s End
//
// Each argument is one chord: modifiers (ctrl, shift, alt) and an XKB key name, pressed in order
// and let go in reverse. Exits once the compositor has taken every key.
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
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
         ++code) {
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

int main(int argc, char** argv) {
    const char* layout = "us";
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "--layout") == 0) {
        layout = argv[2];
        first = 3;
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

    for (int arg = first; arg < argc; ++arg) {
        xkb_keycode_t chord[8];
        int count = 0;
        char* copy = strdup(argv[arg]);
        for (char* part = strtok(copy, "+"); part != NULL && count < 8; part = strtok(NULL, "+")) {
            xkb_keysym_t sym = strcmp(part, "ctrl") == 0    ? XKB_KEY_Control_L
                               : strcmp(part, "shift") == 0 ? XKB_KEY_Shift_L
                               : strcmp(part, "alt") == 0   ? XKB_KEY_Alt_L
                                                            : xkb_keysym_from_name(part, 0);
            xkb_keycode_t code = sym == XKB_KEY_NoSymbol ? 0 : key_for(keymap, sym);
            if (code == 0) {
                fprintf(stderr, "test_keyboard: no key for '%s'\n", part);
                return 2;
            }
            chord[count++] = code;
        }
        free(copy);
        for (int i = 0; i < count; ++i) {
            zwp_virtual_keyboard_v1_key(keyboard, now_ms(), chord[i] - 8,
                                        WL_KEYBOARD_KEY_STATE_PRESSED);
        }
        for (int i = count - 1; i >= 0; --i) {
            zwp_virtual_keyboard_v1_key(keyboard, now_ms(), chord[i] - 8,
                                        WL_KEYBOARD_KEY_STATE_RELEASED);
        }
        // Each chord taken before the next: a window reads a chord from the keys' order alone.
        wl_display_roundtrip(display);
    }
    zwp_virtual_keyboard_v1_destroy(keyboard);
    wl_display_roundtrip(display);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    wl_display_disconnect(display);
    return 0;
}
