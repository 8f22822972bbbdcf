// The window's identity properties, the ping protocol and the startup-notification
// "remove" message.
#include "platform/desktop_identity.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const window_title = "Blockdash";

Atom wm_protocols = 0, net_wm_ping = 0;

// The launch ID, taken from the environment at start so no child inherits it.
std::string launch_id;

Atom atom(Display* d, const char* name) { return XInternAtom(d, name, False); }

void set_utf8(Display* d, Window w, const char* property, const char* text) {
    XChangeProperty(d, w, atom(d, property), atom(d, "UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
}

void add_ping_protocol(Display* d, Window w) {
    Atom* old = nullptr;
    int count = 0;
    std::vector<Atom> protocols;
    if (XGetWMProtocols(d, w, &old, &count)) protocols.assign(old, old + count);
    if (old) XFree(old);
    if (std::find(protocols.begin(), protocols.end(), net_wm_ping) == protocols.end())
        protocols.push_back(net_wm_ping);
    XSetWMProtocols(d, w, protocols.data(), static_cast<int>(protocols.size()));
}

void set_machine(Display* d, Window w) {
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) != 0 || !*host) return;
    char* list[] = {host};
    XTextProperty text;
    if (!XStringListToTextProperty(list, 1, &text)) return;
    XSetWMClientMachine(d, w, &text);
    XFree(text.value);
}

// The message's value is quoted, with backslashes before quotes and backslashes.
std::string remove_message(const std::string& id) {
    std::string message = "remove: ID=\"";
    for (char c : id) {
        if (c == '"' || c == '\\') message += '\\';
        message += c;
    }
    return message + "\"";
}

}  // namespace

void introduce_window(Display* d, Window w) {
    wm_protocols = atom(d, "WM_PROTOCOLS");
    net_wm_ping = atom(d, "_NET_WM_PING");
    const long pid = getpid();
    XChangeProperty(d, w, atom(d, "_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    set_machine(d, w);
    set_utf8(d, w, "_NET_WM_NAME", window_title);
    set_utf8(d, w, "_NET_WM_ICON_NAME", window_title);
    add_ping_protocol(d, w);
    if (const char* id = std::getenv("DESKTOP_STARTUP_ID")) {
        launch_id = id;
        unsetenv("DESKTOP_STARTUP_ID");
        // The manager ties the new window to its launch by this.
        set_utf8(d, w, "_NET_STARTUP_ID", launch_id.c_str());
    }
}

Bool is_ping(Display*, XEvent* e, XPointer) {
    return e->type == ClientMessage && net_wm_ping && e->xclient.message_type == wm_protocols &&
           Atom(e->xclient.data.l[0]) == net_wm_ping;
}

void answer_ping(Display* d, const XEvent& e) {
    XEvent reply = e;
    const Window root = DefaultRootWindow(d);
    reply.xclient.window = root;
    XSendEvent(d, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &reply);
    XFlush(d);
}

void end_launch_notice(Display* d, Window w) {
    if (launch_id.empty()) return;
    const std::string message = remove_message(launch_id);
    launch_id.clear();
    const Atom first = atom(d, "_NET_STARTUP_INFO_BEGIN"), more = atom(d, "_NET_STARTUP_INFO");
    // Sent 20 bytes at a time, the closing nul included.
    const size_t length = message.size() + 1;
    for (size_t at = 0; at < length; at += 20) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = at == 0 ? first : more;
        e.xclient.format = 8;
        std::memcpy(e.xclient.data.b, message.c_str() + at, std::min<size_t>(20, length - at));
        XSendEvent(d, DefaultRootWindow(d), False, PropertyChangeMask, &e);
    }
    XFlush(d);
}
