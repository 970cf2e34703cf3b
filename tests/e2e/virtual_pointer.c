// A pointer for end-to-end tests on a wlroots compositor (sway) whose headless seat has none.
// It creates one virtual pointer and keeps it alive (the seat loses its pointer when the client
// that made it goes), then reads commands from stdin, one per line:
//   move X Y                     absolute move, in pixels of the WIDTH x HEIGHT layout
//   glide X0 Y0 X1 Y1 STEPS MS   STEPS moves from (X0,Y0) to (X1,Y1), MS milliseconds apart
//   click [left|right|middle]    a button down and up (left unless named)
//   wait MS                      sleeps here, so a sequence keeps its timing on a busy machine
//   sync                         waits for the compositor to have seen everything, prints "synced"
// A line it cannot read is reported on stderr and skipped.
//   usage: virtual_pointer WIDTH HEIGHT [FILE]   (FILE, e.g. a named pipe, instead of stdin)
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

// The interface tables of zwlr_virtual_pointer_unstable_v1 (version 1 requests only), written
// out here because Debian packages neither the protocol's description nor generated code.
static const struct wl_interface zwlr_virtual_pointer_v1_interface;

static const struct wl_interface* manager_create_types[] = {
    &wl_seat_interface,
    &zwlr_virtual_pointer_v1_interface,
};
static const struct wl_interface* no_types[] = {NULL, NULL, NULL, NULL, NULL};

static const struct wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", manager_create_types},
    {"destroy", "", no_types},
};
static const struct wl_interface zwlr_virtual_pointer_manager_v1_interface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, manager_requests, 0, NULL,
};

enum {
    POINTER_MOTION = 0,
    POINTER_MOTION_ABSOLUTE = 1,
    POINTER_BUTTON = 2,
    POINTER_AXIS = 3,
    POINTER_FRAME = 4,
    POINTER_AXIS_SOURCE = 5,
    POINTER_AXIS_STOP = 6,
    POINTER_AXIS_DISCRETE = 7,
    POINTER_DESTROY = 8,
};
static const struct wl_message pointer_requests[] = {
    {"motion", "uff", no_types},
    {"motion_absolute", "uuuuu", no_types},
    {"button", "uuu", no_types},
    {"axis", "uuf", no_types},
    {"frame", "", no_types},
    {"axis_source", "u", no_types},
    {"axis_stop", "uu", no_types},
    {"axis_discrete", "uufi", no_types},
    {"destroy", "", no_types},
};
static const struct wl_interface zwlr_virtual_pointer_v1_interface = {
    "zwlr_virtual_pointer_v1", 1, 9, pointer_requests, 0, NULL,
};

enum { BUTTON_LEFT = 0x110, BUTTON_RIGHT = 0x111, BUTTON_MIDDLE = 0x112 };
enum { BUTTON_RELEASED = 0, BUTTON_PRESSED = 1 };

struct globals {
    struct wl_seat* seat;
    struct wl_proxy* manager;
};

static void global_added(void* data, struct wl_registry* registry, uint32_t name,
                         const char* interface, uint32_t version) {
    (void)version;
    struct globals* g = data;
    if (strcmp(interface, "wl_seat") == 0 && g->seat == NULL) {
        g->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        g->manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    }
}

static void global_removed(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registry_listener = {global_added, global_removed};

static uint32_t now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)((uint64_t)t.tv_sec * 1000u + (uint64_t)t.tv_nsec / 1000000u);
}

static void sleep_ms(long ms) {
    if (ms <= 0) return;
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

// The layout is WIDTH x HEIGHT; a point off it is pulled to its edge.
static uint32_t clamp(double v, uint32_t extent) {
    if (!(v > 0)) return 0;
    if (v >= extent) return extent - 1;
    return (uint32_t)v;
}

struct pointer {
    struct wl_display* display;
    struct wl_proxy* proxy;
    uint32_t width, height;
};

static int move_to(struct pointer* p, double x, double y) {
    wl_proxy_marshal(p->proxy, POINTER_MOTION_ABSOLUTE, now_ms(), clamp(x, p->width),
                     clamp(y, p->height), p->width, p->height);
    wl_proxy_marshal(p->proxy, POINTER_FRAME);
    return wl_display_flush(p->display) < 0 ? -1 : 0;
}

static int press(struct pointer* p, uint32_t button, uint32_t state) {
    wl_proxy_marshal(p->proxy, POINTER_BUTTON, now_ms(), button, state);
    wl_proxy_marshal(p->proxy, POINTER_FRAME);
    return wl_display_flush(p->display) < 0 ? -1 : 0;
}

// Runs one command line; -1 when the compositor has gone.
static int run(struct pointer* p, const char* line) {
    char word[16];
    int used = 0;
    if (sscanf(line, " %15s%n", word, &used) != 1) return 0;  // a blank line
    const char* args = line + used;
    double x0, y0, x1, y1;
    long steps, ms;
    char extra;  // anything after the expected arguments makes the line unreadable
    if (strcmp(word, "move") == 0 && sscanf(args, "%lf %lf %c", &x0, &y0, &extra) == 2) {
        return move_to(p, x0, y0);
    }
    if (strcmp(word, "glide") == 0 &&
        sscanf(args, "%lf %lf %lf %lf %ld %ld %c", &x0, &y0, &x1, &y1, &steps, &ms, &extra) ==
            6 &&
        steps >= 1 && steps <= 100000 && ms >= 0 && ms <= 60000) {
        for (long i = 1; i <= steps; ++i) {
            const double f = (double)i / (double)steps;
            if (move_to(p, x0 + (x1 - x0) * f, y0 + (y1 - y0) * f) < 0) return -1;
            if (i < steps) sleep_ms(ms);
        }
        return 0;
    }
    if (strcmp(word, "wait") == 0 && sscanf(args, "%ld %c", &ms, &extra) == 1 && ms >= 0 &&
        ms <= 600000) {
        sleep_ms(ms);
        return 0;
    }
    if (strcmp(word, "click") == 0) {
        char name[8] = "left";
        const int n = sscanf(args, "%7s %c", name, &extra);
        const uint32_t button = strcmp(name, "left") == 0    ? BUTTON_LEFT
                                : strcmp(name, "right") == 0 ? BUTTON_RIGHT
                                : strcmp(name, "middle") == 0 ? BUTTON_MIDDLE
                                                              : 0;
        if (n < 2 && button != 0) {
            return press(p, button, BUTTON_PRESSED) < 0 || press(p, button, BUTTON_RELEASED) < 0
                       ? -1
                       : 0;
        }
    }
    if (strcmp(word, "sync") == 0 && sscanf(args, " %c", &extra) < 1) {
        if (wl_display_roundtrip(p->display) < 0) return -1;
        printf("synced\n");
        fflush(stdout);
        return 0;
    }
    fprintf(stderr, "virtual_pointer: skipped: %s", line);
    return 0;
}

static long parse_extent(const char* text) {
    char* end;
    errno = 0;
    const long v = strtol(text, &end, 10);
    return errno == 0 && *end == '\0' && v >= 1 && v <= 1000000 ? v : -1;
}

int main(int argc, char** argv) {
    const int args_ok = argc == 3 || argc == 4;
    const long width = args_ok ? parse_extent(argv[1]) : -1;
    const long height = args_ok ? parse_extent(argv[2]) : -1;
    if (width < 0 || height < 0) {
        fprintf(stderr, "usage: virtual_pointer WIDTH HEIGHT [FILE]  (commands on stdin or in FILE)\n");
        return 2;
    }
    // A shell gives a command it starts in the background /dev/null as stdin, so a script
    // names its pipe instead.
    if (argc == 4 && freopen(argv[3], "r", stdin) == NULL) {
        perror(argv[3]);
        return 2;
    }
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) {
        fprintf(stderr, "virtual_pointer: no Wayland display\n");
        return 1;
    }
    struct globals g = {NULL, NULL};
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, &g);
    wl_display_roundtrip(display);
    if (g.seat == NULL || g.manager == NULL) {
        fprintf(stderr, "virtual_pointer: the compositor offers no %s\n",
                g.seat == NULL ? "seat" : "virtual pointer manager");
        wl_display_disconnect(display);
        return 1;
    }
    struct pointer p = {display, NULL, (uint32_t)width, (uint32_t)height};
    p.proxy = wl_proxy_marshal_constructor(g.manager, 0, &zwlr_virtual_pointer_v1_interface,
                                           g.seat, NULL);
    if (p.proxy == NULL || wl_display_roundtrip(display) < 0) {
        fprintf(stderr, "virtual_pointer: the compositor refused the pointer\n");
        wl_display_disconnect(display);
        return 1;
    }

    char line[512];
    int status = 0;
    while (fgets(line, sizeof line, stdin) != NULL) {
        // A line longer than the buffer is dropped whole rather than read as several commands.
        if (strchr(line, '\n') == NULL && !feof(stdin)) {
            int c;
            while ((c = getchar()) != EOF && c != '\n') {
            }
            fprintf(stderr, "virtual_pointer: skipped an overlong line\n");
            continue;
        }
        if (run(&p, line) < 0) {
            fprintf(stderr, "virtual_pointer: the compositor has gone\n");
            status = 1;
            break;
        }
    }
    wl_proxy_marshal(p.proxy, POINTER_DESTROY);
    wl_proxy_destroy(p.proxy);
    wl_display_flush(display);
    wl_display_disconnect(display);
    return status;
}
