/* A Wayland clipboard owner that never answers: takes the selection through data-control with a
 * text type, accepts every request for the data and never writes or closes it. With --secret
 * TEXT it is a password manager instead: it serves TEXT, marked with x-kde-passwordManagerHint
 * = "secret". Prints "ready" once it owns the selection and "request TYPE" for every request, and
 * runs until killed or replaced.
 * Usage: wayland_stuck_owner [--secret TEXT] */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "data_control_client.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

static int cancelled;
static const char* secret_text;

/* Without --secret the fd is kept open and never written: the reader waits for an end that
 * never comes. */
static void send(void* data, struct zwlr_data_control_source_v1* source, const char* type, int fd) {
    (void)data;
    (void)source;
    printf("request %s\n", type);
    fflush(stdout);
    if (secret_text == NULL) return;
    const char* text = strcmp(type, "x-kde-passwordManagerHint") == 0 ? "secret" : secret_text;
    if (write(fd, text, strlen(text)) < 0) perror("wayland_stuck_owner");
    close(fd);
}
static void cancel(void* data, struct zwlr_data_control_source_v1* source) {
    (void)data;
    (void)source;
    cancelled = 1;
}
static const struct zwlr_data_control_source_v1_listener source_listener = {send, cancel};

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--secret") == 0) secret_text = argv[2];
    struct wl_display* display = connect_data_control(&zwlr_data_control_manager_v1_interface);
    if (display == NULL) return 1;
    struct zwlr_data_control_device_v1* device =
        zwlr_data_control_manager_v1_get_data_device(bound_manager, bound_seat);
    struct zwlr_data_control_source_v1* source =
        zwlr_data_control_manager_v1_create_data_source(bound_manager);
    zwlr_data_control_source_v1_add_listener(source, &source_listener, NULL);
    zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
    zwlr_data_control_source_v1_offer(source, "text/plain");
    if (secret_text != NULL) zwlr_data_control_source_v1_offer(source, "x-kde-passwordManagerHint");
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);
    while (!cancelled && wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
