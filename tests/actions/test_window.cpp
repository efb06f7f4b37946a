// A stand-in application for the tests: one window (WM_CLASS "stubborn",
// "Stubborn") that, like an editor with unsaved work, stays open at the first
// WM_DELETE_WINDOW and closes at the second. Writes what happens to LOGFILE.
// usage: tendril-test-window LOGFILE
#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

static int logFile = -1;

static void note(const char *text)
{
    if (write(logFile, text, strlen(text)) < 0)
        _exit(3);
}

int main(int, char **argv)
{
    logFile = open(argv[1], O_WRONLY | O_CREAT | O_APPEND, 0600);
    signal(SIGTERM, [](int) { note("term\n"); _exit(0); });
    alarm(60); // never outlive a crashed test for long

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    const auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : 0;
        free(reply);
        return result;
    };
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const xcb_atom_t protocols = atom("WM_PROTOCOLS"), deleteWindow = atom("WM_DELETE_WINDOW");
    const uint32_t pid = uint32_t(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 18, "stubborn\0Stubborn");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    xcb_map_window(c, window);
    xcb_flush(c);
    char line[64];
    snprintf(line, sizeof line, "window %u\n", window);
    note(line);

    for (int asked = 0; xcb_generic_event_t *event = xcb_wait_for_event(c); free(event)) {
        const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == protocols
            && message->data.data32[0] == deleteWindow) {
            note("delete\n");
            if (++asked == 2)
                return 0;
        }
    }
    return 2; // the display went away
}
