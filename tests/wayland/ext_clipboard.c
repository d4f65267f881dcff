/* The Wayland clipboard through ext-data-control-v1, for the tests (wl-copy and wl-paste speak
 * only wlr-data-control).
 *   ext_clipboard copy TEXT   takes the selection with TEXT as UTF-8 text, prints "ready" and
 *                             serves it until another client takes the selection
 *   ext_clipboard paste       prints the selection's UTF-8 text; status 1 when there is none */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "data_control_client.h"
#include "ext-data-control-v1-client-protocol.h"

static const char kTextType[] = "text/plain;charset=utf-8";

static const char* text;
static int cancelled;
static struct ext_data_control_offer_v1* selection;
static int selection_has_text;
static int offer_has_text;

static void send(void* data, struct ext_data_control_source_v1* source, const char* type, int fd) {
    (void)data;
    (void)source;
    (void)type;
    if (write(fd, text, strlen(text)) < 0) perror("ext_clipboard");
    close(fd);
}
static void cancel(void* data, struct ext_data_control_source_v1* source) {
    (void)data;
    (void)source;
    cancelled = 1;
}
static const struct ext_data_control_source_v1_listener source_listener = {send, cancel};

static void offer_type(void* data, struct ext_data_control_offer_v1* offer, const char* type) {
    (void)data;
    (void)offer;
    if (strcmp(type, kTextType) == 0) offer_has_text = 1;
}
static const struct ext_data_control_offer_v1_listener offer_listener = {offer_type};

static void data_offer(void* data, struct ext_data_control_device_v1* device,
                       struct ext_data_control_offer_v1* offer) {
    (void)data;
    (void)device;
    offer_has_text = 0;
    ext_data_control_offer_v1_add_listener(offer, &offer_listener, NULL);
}
static void device_selection(void* data, struct ext_data_control_device_v1* device,
                             struct ext_data_control_offer_v1* offer) {
    (void)data;
    (void)device;
    if (selection != NULL) ext_data_control_offer_v1_destroy(selection);
    selection = offer;
    selection_has_text = offer != NULL && offer_has_text;
}
static void finished(void* data, struct ext_data_control_device_v1* device) {
    (void)data;
    (void)device;
}
static void primary_selection(void* data, struct ext_data_control_device_v1* device,
                              struct ext_data_control_offer_v1* offer) {
    (void)data;
    (void)device;
    if (offer != NULL) ext_data_control_offer_v1_destroy(offer);
}
static const struct ext_data_control_device_v1_listener device_listener = {
    data_offer, device_selection, finished, primary_selection};

static int copy(struct wl_display* display, struct ext_data_control_device_v1* device) {
    struct ext_data_control_source_v1* source =
        ext_data_control_manager_v1_create_data_source(bound_manager);
    ext_data_control_source_v1_add_listener(source, &source_listener, NULL);
    ext_data_control_source_v1_offer(source, kTextType);
    ext_data_control_device_v1_set_selection(device, source);
    if (wl_display_roundtrip(display) < 0) return 1;
    printf("ready\n");
    fflush(stdout);
    while (!cancelled && wl_display_dispatch(display) >= 0) {
    }
    return 0;
}

static int paste(struct wl_display* display) {
    if (wl_display_roundtrip(display) < 0 || !selection_has_text) return 1;
    int fds[2];
    if (pipe(fds) != 0) return 1;
    ext_data_control_offer_v1_receive(selection, kTextType, fds[1]);
    wl_display_flush(display);
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) fwrite(buffer, 1, (size_t)n, stdout);
    close(fds[0]);
    return n < 0;
}

int main(int argc, char** argv) {
    const int copying = argc == 3 && strcmp(argv[1], "copy") == 0;
    if (!copying && !(argc == 2 && strcmp(argv[1], "paste") == 0)) {
        fprintf(stderr, "usage: %s copy TEXT | paste\n", argv[0]);
        return 2;
    }
    text = copying ? argv[2] : NULL;
    struct wl_display* display = connect_data_control(&ext_data_control_manager_v1_interface);
    if (display == NULL) {
        fprintf(stderr, "ext_clipboard: no ext-data-control here\n");
        return 1;
    }
    struct ext_data_control_device_v1* device =
        ext_data_control_manager_v1_get_data_device(bound_manager, bound_seat);
    ext_data_control_device_v1_add_listener(device, &device_listener, NULL);
    return copying ? copy(display, device) : paste(display);
}
