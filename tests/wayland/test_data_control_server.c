/* A small Wayland server of the tests' own for the clipboard's data-control protocols, written
 * from the protocols' text (clipboard/protocols): ext-data-control-v1, which no compositor in
 * Debian 12 offers, and wlr-data-control version 2. It offers a wl_seat without capabilities
 * (version 2, for its name: wl-copy asks for it) and, as asked, either protocol, both or
 * neither.
 *
 * The seat has one selection and one primary selection, shared by every device of either
 * protocol: a wlr client (wl-copy, wl-paste) and an ext client see the same clipboard. Setting a
 * selection cancels the source it replaces and sends every device a new offer (data_offer, one
 * offer event per MIME type, then selection or primary_selection); a device gets the current ones
 * when it is made. A receive on an offer goes to the source's client as send; an offer whose
 * source was replaced or destroyed closes the descriptor at once. A source destroyed (or its
 * client gone) while it is the selection leaves no selection. Offering after set_selection and
 * setting a source twice are the protocol errors the text names.
 *
 * Prints "ready" once it listens, and one line for every request it handles, with the client's
 * process id: "[PID] ext get_data_device", "[PID] wlr receive text/plain". SIGUSR1 withdraws the
 * data-control globals as a compositor that drops the protocol would: the globals are removed
 * (and destroyed a second later), every device gets "finished" and later ones are finished at
 * once; it prints "withdrawn". SIGTERM and SIGINT end it.
 *
 * Usage: test_data_control_server SOCKET [--ext] [--wlr]     (SOCKET is in $XDG_RUNTIME_DIR) */
#include <signal.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-server.h>

#include "ext-data-control-v1-server-protocol.h"
#include "wlr-data-control-unstable-v1-server-protocol.h"

/* Both protocols send the same events in the same order with the same arguments: one set of
 * opcodes serves them both. */
enum {
    DEVICE_DATA_OFFER = EXT_DATA_CONTROL_DEVICE_V1_DATA_OFFER,
    DEVICE_SELECTION = EXT_DATA_CONTROL_DEVICE_V1_SELECTION,
    DEVICE_FINISHED = EXT_DATA_CONTROL_DEVICE_V1_FINISHED,
    DEVICE_PRIMARY_SELECTION = EXT_DATA_CONTROL_DEVICE_V1_PRIMARY_SELECTION,
    SOURCE_SEND = EXT_DATA_CONTROL_SOURCE_V1_SEND,
    SOURCE_CANCELLED = EXT_DATA_CONTROL_SOURCE_V1_CANCELLED,
    OFFER_OFFER = EXT_DATA_CONTROL_OFFER_V1_OFFER,
    /* The device's error for a source set before ("used_source" in the protocol's text). */
    DEVICE_ERROR_USED_SOURCE = 1,
    SOURCE_ERROR_INVALID_OFFER = (int)EXT_DATA_CONTROL_SOURCE_V1_ERROR_INVALID_OFFER,
};
_Static_assert(ZWLR_DATA_CONTROL_DEVICE_V1_DATA_OFFER == DEVICE_DATA_OFFER &&
                   ZWLR_DATA_CONTROL_DEVICE_V1_SELECTION == DEVICE_SELECTION &&
                   ZWLR_DATA_CONTROL_DEVICE_V1_FINISHED == DEVICE_FINISHED &&
                   ZWLR_DATA_CONTROL_DEVICE_V1_PRIMARY_SELECTION == DEVICE_PRIMARY_SELECTION &&
                   ZWLR_DATA_CONTROL_SOURCE_V1_SEND == SOURCE_SEND &&
                   ZWLR_DATA_CONTROL_SOURCE_V1_CANCELLED == SOURCE_CANCELLED &&
                   ZWLR_DATA_CONTROL_OFFER_V1_OFFER == OFFER_OFFER &&
                   (int)ZWLR_DATA_CONTROL_SOURCE_V1_ERROR_INVALID_OFFER ==
                       SOURCE_ERROR_INVALID_OFFER,
               "the two protocols' events differ");

enum kind { CLIPBOARD, PRIMARY };

/* One of the two protocols: its interfaces, its request handlers and its global. */
struct protocol {
    const char* name; /* in the log: "ext" or "wlr" */
    const struct wl_interface* manager;
    const struct wl_interface* device;
    const struct wl_interface* source;
    const struct wl_interface* offer;
    const void* manager_impl;
    const void* device_impl;
    const void* source_impl;
    const void* offer_impl;
    int version;
    int primary_since; /* the device version that has the primary selection */
    struct wl_global* global;
    bool offered;
};

struct source {
    struct wl_resource* resource;
    const struct protocol* protocol;
    struct wl_array types; /* char*, each its own copy */
    bool used;             /* given to set_selection or set_primary_selection */
};

struct device {
    struct wl_resource* resource;
    const struct protocol* protocol;
    struct wl_list link; /* in devices; empty once finished */
};

struct offer {
    struct wl_resource* resource;
    const struct protocol* protocol;
    struct source* source; /* NULL once its source was replaced or destroyed */
    struct wl_list link;   /* in offers */
};

static struct wl_display* display;
static struct wl_list devices;
static struct wl_list offers;
static struct source* selection[2];
static struct protocol protocols[2];

static pid_t pid_of(struct wl_resource* resource) {
    pid_t pid = 0;
    wl_client_get_credentials(wl_resource_get_client(resource), &pid, NULL, NULL);
    return pid;
}

/* "[PID] PROTOCOL REQUEST[ ARGUMENT]" for the client that owns RESOURCE. */
static void log_request(struct wl_resource* resource, const char* protocol, const char* request,
                        const char* argument) {
    printf("[%d] %s %s%s%s\n", (int)pid_of(resource), protocol, request, argument ? " " : "",
           argument ? argument : "");
}

static bool has_primary(const struct device* device) {
    return wl_resource_get_version(device->resource) >= device->protocol->primary_since;
}

/* A resource for a request's new object, its requests going to IMPL with DATA; NULL when out of
 * memory (the client is told). */
static struct wl_resource* make_resource(struct wl_client* client,
                                         const struct wl_interface* interface, int version,
                                         uint32_t id, const void* impl, void* data,
                                         wl_resource_destroy_func_t destroyed) {
    struct wl_resource* resource = wl_resource_create(client, interface, version, id);
    if (resource == NULL) {
        wl_client_post_no_memory(client);
        return NULL;
    }
    wl_resource_set_implementation(resource, impl, data, destroyed);
    return resource;
}

/* An object's state of SIZE bytes (zeros) and its resource, in *RESOURCE; DESTROYED frees the
 * state. NULL when out of memory (the client is told). */
static void* make_object(struct wl_client* client, size_t size, struct wl_resource** resource,
                         const struct wl_interface* interface, int version, uint32_t id,
                         const void* impl, wl_resource_destroy_func_t destroyed) {
    void* state = calloc(1, size);
    if (state == NULL) {
        wl_client_post_no_memory(client);
        return NULL;
    }
    *resource = make_resource(client, interface, version, id, impl, state, destroyed);
    if (*resource == NULL) {
        free(state);
        return NULL;
    }
    return state;
}

/* The destroy request of every data-control object, logged as "PROTOCOL destroy OBJECT" (the
 * manager, a device, a source, an offer). What a manager made stays valid. */
static void destroy_request(struct wl_client* client, struct wl_resource* resource) {
    (void)client;
    const char* class = wl_resource_get_class(resource); /* ext_data_control_offer_v1 */
    const char* object = strstr(class, "control_") + strlen("control_");
    char name[32];
    snprintf(name, sizeof name, "%.*s", (int)(strlen(object) - strlen("_v1")), object);
    log_request(resource, strncmp(class, "ext_", 4) == 0 ? "ext" : "wlr", "destroy", name);
    wl_resource_destroy(resource);
}

/* ---- Offers ---- */

static void offer_receive(struct wl_client* client, struct wl_resource* resource,
                          const char* mime_type, int32_t fd) {
    (void)client;
    struct offer* offer = wl_resource_get_user_data(resource);
    log_request(resource, offer->protocol->name, "receive", mime_type);
    /* The event carries a copy of the descriptor; the server's own is closed either way. */
    if (offer->source != NULL)
        wl_resource_post_event(offer->source->resource, SOURCE_SEND, mime_type, fd);
    close(fd);
}

static void offer_resource_destroyed(struct wl_resource* resource) {
    struct offer* offer = wl_resource_get_user_data(resource);
    wl_list_remove(&offer->link);
    free(offer);
}

static const struct ext_data_control_offer_v1_interface ext_offer_impl = {offer_receive,
                                                                          destroy_request};
static const struct zwlr_data_control_offer_v1_interface wlr_offer_impl = {offer_receive,
                                                                           destroy_request};

/* ---- The selections ---- */

/* Tells DEVICE that the selection of KIND is SOURCE (or none): a new offer with its types first. */
static void send_selection(struct device* device, enum kind kind, struct source* source) {
    struct wl_resource* offer_resource = NULL;
    if (source != NULL) {
        struct offer* offer =
            make_object(wl_resource_get_client(device->resource), sizeof *offer, &offer_resource,
                        device->protocol->offer, wl_resource_get_version(device->resource), 0,
                        device->protocol->offer_impl, offer_resource_destroyed);
        if (offer == NULL) return;
        offer->resource = offer_resource;
        offer->protocol = device->protocol;
        offer->source = source;
        wl_list_insert(&offers, &offer->link);
        wl_resource_post_event(device->resource, DEVICE_DATA_OFFER, offer->resource);
        char** type;
        wl_array_for_each(type, &source->types) {
            wl_resource_post_event(offer->resource, OFFER_OFFER, *type);
        }
    }
    wl_resource_post_event(device->resource,
                           kind == CLIPBOARD ? DEVICE_SELECTION : DEVICE_PRIMARY_SELECTION,
                           offer_resource);
}

/* Offers already made for SOURCE no longer reach it. */
static void detach_offers(struct source* source) {
    struct offer* offer;
    wl_list_for_each(offer, &offers, link) {
        if (offer->source == source) offer->source = NULL;
    }
}

/* Makes SOURCE (or none) the selection of KIND and tells every device. */
static void set_selection(enum kind kind, struct source* source) {
    struct source* previous = selection[kind];
    selection[kind] = source;
    if (previous != NULL) {
        detach_offers(previous);
        wl_resource_post_event(previous->resource, SOURCE_CANCELLED);
    }
    struct device* device;
    wl_list_for_each(device, &devices, link) {
        if (kind == CLIPBOARD || has_primary(device)) send_selection(device, kind, source);
    }
}

/* ---- Sources ---- */

static void source_offer(struct wl_client* client, struct wl_resource* resource,
                         const char* mime_type) {
    (void)client;
    struct source* source = wl_resource_get_user_data(resource);
    log_request(resource, source->protocol->name, "offer", mime_type);
    if (source->used) {
        wl_resource_post_error(resource, SOURCE_ERROR_INVALID_OFFER,
                               "offer after the source was set as a selection");
        return;
    }
    char** slot = wl_array_add(&source->types, sizeof *slot);
    char* copy = strdup(mime_type);
    if (slot == NULL || copy == NULL) {
        if (slot != NULL) source->types.size -= sizeof *slot;
        free(copy);
        wl_client_post_no_memory(wl_resource_get_client(resource));
        return;
    }
    *slot = copy;
}

static void source_resource_destroyed(struct wl_resource* resource) {
    struct source* source = wl_resource_get_user_data(resource);
    detach_offers(source);
    for (int kind = CLIPBOARD; kind <= PRIMARY; ++kind) {
        /* The selection it held is gone: no selection. */
        if (selection[kind] == source) {
            selection[kind] = NULL;
            set_selection((enum kind)kind, NULL);
        }
    }
    char** type;
    wl_array_for_each(type, &source->types) { free(*type); }
    wl_array_release(&source->types);
    free(source);
}

static const struct ext_data_control_source_v1_interface ext_source_impl = {source_offer,
                                                                            destroy_request};
static const struct zwlr_data_control_source_v1_interface wlr_source_impl = {source_offer,
                                                                             destroy_request};

/* ---- Devices ---- */

static void device_set(struct wl_resource* resource, struct wl_resource* source_resource,
                       enum kind kind) {
    struct device* device = wl_resource_get_user_data(resource);
    log_request(resource, device->protocol->name,
                kind == CLIPBOARD ? "set_selection" : "set_primary_selection",
                source_resource == NULL ? "null" : NULL);
    struct source* source = NULL;
    if (source_resource != NULL) {
        source = wl_resource_get_user_data(source_resource);
        if (source->used) {
            wl_resource_post_error(resource, DEVICE_ERROR_USED_SOURCE,
                                   "this source was set as a selection before");
            return;
        }
        source->used = true;
    }
    /* A finished device is inert. */
    if (wl_list_empty(&device->link)) return;
    set_selection(kind, source);
}

static void device_set_selection(struct wl_client* client, struct wl_resource* resource,
                                 struct wl_resource* source) {
    (void)client;
    device_set(resource, source, CLIPBOARD);
}

static void device_set_primary_selection(struct wl_client* client, struct wl_resource* resource,
                                         struct wl_resource* source) {
    (void)client;
    device_set(resource, source, PRIMARY);
}

static void device_resource_destroyed(struct wl_resource* resource) {
    struct device* device = wl_resource_get_user_data(resource);
    wl_list_remove(&device->link);
    free(device);
}

/* The device is no longer valid: it hears no more selections and its requests do nothing. */
static void finish_device(struct device* device) {
    wl_resource_post_event(device->resource, DEVICE_FINISHED);
    wl_list_remove(&device->link);
    wl_list_init(&device->link);
}

static const struct ext_data_control_device_v1_interface ext_device_impl = {
    device_set_selection, destroy_request, device_set_primary_selection};
static const struct zwlr_data_control_device_v1_interface wlr_device_impl = {
    device_set_selection, destroy_request, device_set_primary_selection};

/* ---- Managers ---- */

static void manager_create_data_source(struct wl_client* client, struct wl_resource* resource,
                                       uint32_t id) {
    const struct protocol* protocol = wl_resource_get_user_data(resource);
    log_request(resource, protocol->name, "create_data_source", NULL);
    /* Objects made through the manager have its version. */
    struct wl_resource* made;
    struct source* source = make_object(client, sizeof *source, &made, protocol->source,
                                        wl_resource_get_version(resource), id,
                                        protocol->source_impl, source_resource_destroyed);
    if (source == NULL) return;
    source->resource = made;
    source->protocol = protocol;
    wl_array_init(&source->types);
}

static void manager_get_data_device(struct wl_client* client, struct wl_resource* resource,
                                    uint32_t id, struct wl_resource* seat) {
    (void)seat; /* there is one seat */
    const struct protocol* protocol = wl_resource_get_user_data(resource);
    log_request(resource, protocol->name, "get_data_device", NULL);
    struct wl_resource* made;
    struct device* device = make_object(client, sizeof *device, &made, protocol->device,
                                        wl_resource_get_version(resource), id,
                                        protocol->device_impl, device_resource_destroyed);
    if (device == NULL) return;
    device->resource = made;
    device->protocol = protocol;
    wl_list_init(&device->link);
    if (!protocol->offered) {
        finish_device(device);
        return;
    }
    wl_list_insert(&devices, &device->link);
    /* The first selection events come on binding the device. */
    send_selection(device, CLIPBOARD, selection[CLIPBOARD]);
    if (has_primary(device)) send_selection(device, PRIMARY, selection[PRIMARY]);
}

static const struct ext_data_control_manager_v1_interface ext_manager_impl = {
    manager_create_data_source, manager_get_data_device, destroy_request};
static const struct zwlr_data_control_manager_v1_interface wlr_manager_impl = {
    manager_create_data_source, manager_get_data_device, destroy_request};

static void bind_manager(struct wl_client* client, void* data, uint32_t version, uint32_t id) {
    struct protocol* protocol = data;
    struct wl_resource* resource = make_resource(client, protocol->manager, (int)version, id,
                                                 protocol->manager_impl, protocol, NULL);
    if (resource == NULL) return;
    char text[16];
    snprintf(text, sizeof text, "%u", version);
    log_request(resource, protocol->name, "bind version", text);
}

/* ---- The seat: no capabilities; what a client asks of it is inert ---- */

static void inert_release(struct wl_client* client, struct wl_resource* resource) {
    (void)client;
    wl_resource_destroy(resource);
}

static void pointer_set_cursor(struct wl_client* client, struct wl_resource* resource,
                               uint32_t serial, struct wl_resource* surface, int32_t x, int32_t y) {
    (void)client;
    (void)resource;
    (void)serial;
    (void)surface;
    (void)x;
    (void)y;
}

static const struct wl_pointer_interface pointer_impl = {pointer_set_cursor, inert_release};
static const struct wl_keyboard_interface keyboard_impl = {inert_release};
static const struct wl_touch_interface touch_impl = {inert_release};

static void make_inert(struct wl_client* client, struct wl_resource* seat,
                       const struct wl_interface* interface, const void* impl, uint32_t id) {
    log_request(seat, "wl_seat", "get", interface->name);
    make_resource(client, interface, wl_resource_get_version(seat), id, impl, NULL, NULL);
}

static void seat_get_pointer(struct wl_client* client, struct wl_resource* resource, uint32_t id) {
    make_inert(client, resource, &wl_pointer_interface, &pointer_impl, id);
}
static void seat_get_keyboard(struct wl_client* client, struct wl_resource* resource, uint32_t id) {
    make_inert(client, resource, &wl_keyboard_interface, &keyboard_impl, id);
}
static void seat_get_touch(struct wl_client* client, struct wl_resource* resource, uint32_t id) {
    make_inert(client, resource, &wl_touch_interface, &touch_impl, id);
}

static const struct wl_seat_interface seat_impl = {seat_get_pointer, seat_get_keyboard,
                                                   seat_get_touch, inert_release};

static void bind_seat(struct wl_client* client, void* data, uint32_t version, uint32_t id) {
    (void)data;
    struct wl_resource* resource =
        make_resource(client, &wl_seat_interface, (int)version, id, &seat_impl, NULL, NULL);
    if (resource == NULL) return;
    log_request(resource, "wl_seat", "bind", NULL);
    wl_seat_send_capabilities(resource, 0);
    if (version >= WL_SEAT_NAME_SINCE_VERSION) wl_seat_send_name(resource, "seat0");
}

/* ---- Withdrawing the protocols ---- */

static int destroy_withdrawn(void* data) {
    (void)data;
    for (size_t i = 0; i < sizeof protocols / sizeof *protocols; ++i) {
        if (protocols[i].global != NULL && !protocols[i].offered) {
            wl_global_destroy(protocols[i].global);
            protocols[i].global = NULL;
        }
    }
    return 0;
}

/* Removes the globals and finishes every device. The globals are destroyed a second later: a
 * client may still bind one before it hears of the removal. */
static int withdraw(int signal_number, void* data) {
    (void)signal_number;
    struct wl_event_source* timer = data;
    for (size_t i = 0; i < sizeof protocols / sizeof *protocols; ++i) {
        if (protocols[i].offered) {
            wl_global_remove(protocols[i].global);
            protocols[i].offered = false;
        }
    }
    struct device *device, *next;
    wl_list_for_each_safe(device, next, &devices, link) { finish_device(device); }
    wl_event_source_timer_update(timer, 1000);
    printf("withdrawn\n");
    return 0;
}

static int terminate(int signal_number, void* data) {
    (void)signal_number;
    (void)data;
    wl_display_terminate(display);
    return 0;
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    protocols[0] = (struct protocol){"ext",
                                     &ext_data_control_manager_v1_interface,
                                     &ext_data_control_device_v1_interface,
                                     &ext_data_control_source_v1_interface,
                                     &ext_data_control_offer_v1_interface,
                                     &ext_manager_impl,
                                     &ext_device_impl,
                                     &ext_source_impl,
                                     &ext_offer_impl,
                                     1,
                                     1,
                                     NULL,
                                     false};
    protocols[1] = (struct protocol){"wlr",
                                     &zwlr_data_control_manager_v1_interface,
                                     &zwlr_data_control_device_v1_interface,
                                     &zwlr_data_control_source_v1_interface,
                                     &zwlr_data_control_offer_v1_interface,
                                     &wlr_manager_impl,
                                     &wlr_device_impl,
                                     &wlr_source_impl,
                                     &wlr_offer_impl,
                                     2,
                                     ZWLR_DATA_CONTROL_DEVICE_V1_PRIMARY_SELECTION_SINCE_VERSION,
                                     NULL,
                                     false};
    if (argc < 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: %s SOCKET [--ext] [--wlr]\n", argv[0]);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--ext") == 0) {
            protocols[0].offered = true;
        } else if (strcmp(argv[i], "--wlr") == 0) {
            protocols[1].offered = true;
        } else {
            fprintf(stderr, "%s: unknown option %s\n", argv[0], argv[i]);
            return 2;
        }
    }

    wl_list_init(&devices);
    wl_list_init(&offers);
    display = wl_display_create();
    if (display == NULL) return 1;
    if (wl_display_add_socket(display, argv[1]) != 0) {
        fprintf(stderr, "%s: cannot listen on %s\n", argv[0], argv[1]);
        return 1;
    }
    if (wl_global_create(display, &wl_seat_interface, 2, NULL, bind_seat) == NULL) return 1;
    for (size_t i = 0; i < sizeof protocols / sizeof *protocols; ++i) {
        struct protocol* protocol = &protocols[i];
        if (!protocol->offered) continue;
        protocol->global =
            wl_global_create(display, protocol->manager, protocol->version, protocol, bind_manager);
        if (protocol->global == NULL) return 1;
    }
    struct wl_event_loop* loop = wl_display_get_event_loop(display);
    struct wl_event_source* timer = wl_event_loop_add_timer(loop, destroy_withdrawn, NULL);
    struct wl_event_source* signals[] = {
        wl_event_loop_add_signal(loop, SIGUSR1, withdraw, timer),
        wl_event_loop_add_signal(loop, SIGTERM, terminate, NULL),
        wl_event_loop_add_signal(loop, SIGINT, terminate, NULL),
    };
    if (timer == NULL || signals[0] == NULL || signals[1] == NULL || signals[2] == NULL) return 1;

    printf("ready\n");
    wl_display_run(display);
    wl_display_destroy_clients(display);
    for (size_t i = 0; i < sizeof signals / sizeof *signals; ++i)
        wl_event_source_remove(signals[i]);
    wl_event_source_remove(timer);
    wl_display_destroy(display);
    return 0;
}
