/* What the tests' data-control clients share: connecting to $WAYLAND_DISPLAY and binding the
 * first seat and the data-control manager of one protocol, both at version 1. For one source
 * file of a program: the bound objects are its globals. */
#pragma once

#include <string.h>
#include <wayland-client.h>

static struct wl_seat* bound_seat;
static void* bound_manager;
static const struct wl_interface* manager_interface;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, manager_interface->name) == 0)
        bound_manager = wl_registry_bind(registry, name, manager_interface, 1);
    else if (strcmp(interface, wl_seat_interface.name) == 0 && bound_seat == NULL)
        bound_seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}
static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}
static const struct wl_registry_listener registry_listener = {global, global_remove};

/* The display with the seat and the manager of INTERFACE bound; NULL when one of them is not
 * there. */
static struct wl_display* connect_data_control(const struct wl_interface* interface) {
    manager_interface = interface;
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) return NULL;
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    if (wl_display_roundtrip(display) < 0 || bound_manager == NULL || bound_seat == NULL) {
        wl_display_disconnect(display);
        return NULL;
    }
    return display;
}
