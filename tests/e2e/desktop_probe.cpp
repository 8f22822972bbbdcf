// Asks the game's window what a desktop would: the end-to-end scripts check the answers.
//   desktop_probe ping WINDOW             exit 0 when the window answers _NET_WM_PING in 3 s
//   desktop_probe launch-notices SECONDS  waits for startup-notification messages on the
//                                          root window and prints each, one a line
#include <X11/Xlib.h>

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

long long now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// The next event before the deadline; false when there is none.
bool next_event(Display* d, XEvent* e, long long deadline) {
    while (!XPending(d)) {
        const long long left = deadline - now_ms();
        if (left <= 0) return false;
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left));
    }
    XNextEvent(d, e);
    return true;
}

int ping(Display* d, Window w) {
    const Window root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "_NET_WM_PING", False));
    e.xclient.data.l[1] = 4242;
    e.xclient.data.l[2] = long(w);
    XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
    const long long deadline = now_ms() + 3000;
    XEvent reply;
    while (next_event(d, &reply, deadline))
        if (reply.type == ClientMessage && reply.xclient.window == root &&
            reply.xclient.message_type == e.xclient.message_type && reply.xclient.data.l[1] == 4242 &&
            Window(reply.xclient.data.l[2]) == w)
            return 0;
    std::fprintf(stderr, "desktop_probe: no answer to the ping\n");
    return 1;
}

int launch_notices(Display* d, int seconds) {
    XSelectInput(d, DefaultRootWindow(d), PropertyChangeMask);
    const Atom begin = XInternAtom(d, "_NET_STARTUP_INFO_BEGIN", False);
    const Atom more = XInternAtom(d, "_NET_STARTUP_INFO", False);
    std::printf("listening\n");
    std::fflush(stdout);
    std::string message;
    const long long deadline = now_ms() + seconds * 1000LL;
    XEvent e;
    while (next_event(d, &e, deadline)) {
        if (e.type != ClientMessage || e.xclient.format != 8) continue;
        if (e.xclient.message_type == begin) message.clear();
        else if (e.xclient.message_type != more) continue;
        const char* bytes = e.xclient.data.b;
        const size_t n = strnlen(bytes, 20);
        message.append(bytes, n);
        if (n < 20) {  // the closing nul: the message is whole
            std::printf("%s\n", message.c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    if (!d || argc != 3) {
        std::fprintf(stderr, "usage: desktop_probe ping WINDOW | launch-notices SECONDS\n");
        return 2;
    }
    int status = 2;
    if (std::strcmp(argv[1], "ping") == 0) status = ping(d, Window(std::strtoul(argv[2], nullptr, 0)));
    if (std::strcmp(argv[1], "launch-notices") == 0) status = launch_notices(d, std::atoi(argv[2]));
    XCloseDisplay(d);
    return status;
}
