// An XImage in a shared memory segment (MIT-SHM), or in plain memory for a server that
// cannot share it (another machine's). The main thread probes at start-up; afterwards the
// presenter (Allegro's timer thread) makes, fills and puts the images, under the X lock.
#include "platform/window_image.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

struct window_image {
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shared = false;
};

namespace {

bool sharing_works = false;  // tried once at start-up
bool attach_failed = false;
int note_attach_failure(Display*, XErrorEvent*) {
    attach_failed = true;
    return 0;
}

void drop_segment(window_image* wi) {
    if (wi->shm.shmaddr && wi->shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(wi->shm.shmaddr);
    wi->shm.shmaddr = nullptr;
}

// The image and its memory let go: a shared segment is detached first (the server keeps
// its own mapping until it has carried out the puts before this); plain memory goes with
// the image.
void release_image(Display* d, window_image* wi) {
    if (wi->shared) XShmDetach(d, &wi->shm);
    wi->shared = false;
    if (wi->shm.shmaddr) {
        drop_segment(wi);
        wi->image->data = nullptr;
    }
    XDestroyImage(wi->image);
    wi->image = nullptr;
}

// `check`: wait for the server's word on the attachment (a round trip); afterwards the
// same server is trusted to attach as it did then.
bool make_shared(Display* d, window_image* wi, int w, int h, bool check) {
    const int screen = DefaultScreen(d);
    wi->image = XShmCreateImage(d, DefaultVisual(d, screen), DefaultDepth(d, screen), ZPixmap,
                                nullptr, &wi->shm, w, h);
    if (!wi->image) return false;
    wi->shm.shmid = shmget(IPC_PRIVATE, size_t(wi->image->bytes_per_line) * h, IPC_CREAT | 0600);
    if (wi->shm.shmid >= 0) {
        wi->shm.shmaddr = wi->image->data = static_cast<char*>(shmat(wi->shm.shmid, nullptr, 0));
        wi->shm.readOnly = False;
        if (wi->shm.shmaddr != reinterpret_cast<char*>(-1)) {
            if (check) {
                attach_failed = false;
                XSync(d, False);
                XErrorHandler previous = XSetErrorHandler(note_attach_failure);
                XShmAttach(d, &wi->shm);
                XSync(d, False);
                XSetErrorHandler(previous);
                wi->shared = !attach_failed;
            } else {
                wi->shared = XShmAttach(d, &wi->shm);
            }
        }
        // Marked for removal now, so it goes when both sides let go, however the game ends.
        shmctl(wi->shm.shmid, IPC_RMID, nullptr);
    }
    if (wi->shared) return true;
    release_image(d, wi);
    return false;
}

bool make_plain(Display* d, window_image* wi, int w, int h) {
    const int screen = DefaultScreen(d);
    char* data = static_cast<char*>(std::calloc(size_t(w) * h, 4));
    if (!data) return false;
    wi->image = XCreateImage(d, DefaultVisual(d, screen), DefaultDepth(d, screen), ZPixmap, 0,
                             data, w, h, 32, 0);
    if (!wi->image) std::free(data);
    return wi->image != nullptr;
}

}  // namespace

bool window_images_work(Display* d) {
    const int screen = DefaultScreen(d);
    const Visual* v = DefaultVisual(d, screen);
    const int depth = DefaultDepth(d, screen);
    if ((depth != 24 && depth != 32) || v->red_mask != 0xff0000 || v->green_mask != 0xff00 ||
        v->blue_mask != 0xff)
        return false;
    // Four bytes a pixel, in this machine's byte order.
    int count = 0;
    bool four_bytes = false;
    if (XPixmapFormatValues* formats = XListPixmapFormats(d, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == depth) four_bytes = formats[i].bits_per_pixel == 32;
        XFree(formats);
    }
    const unsigned one = 1;
    const bool little = *reinterpret_cast<const unsigned char*>(&one) == 1;
    if (!four_bytes || (ImageByteOrder(d) == LSBFirst) != little) return false;
    window_image probe;
    sharing_works = XShmQueryExtension(d) && make_shared(d, &probe, 64, 64, true);
    if (sharing_works) {
        release_image(d, &probe);
        XSync(d, False);
    }
    return true;
}

window_image* make_window_image(Display* d, int w, int h) {
    auto* wi = new window_image;
    if (!(sharing_works && make_shared(d, wi, w, h, false)) && !make_plain(d, wi, w, h)) {
        delete wi;
        return nullptr;
    }
    std::memset(wi->image->data, 0, size_t(wi->image->bytes_per_line) * h);
    return wi;
}

void destroy_window_image(Display* d, window_image* wi) {
    if (!wi) return;
    release_image(d, wi);
    delete wi;
}

pixel_rows image_pixels(window_image* wi) {
    pixel_rows rows;
    rows.base = reinterpret_cast<unsigned char*>(wi->image->data);
    rows.pitch = wi->image->bytes_per_line;
    rows.w = wi->image->width;
    rows.h = wi->image->height;
    return rows;
}

void put_image_rows(Display* d, Drawable window, GC gc, window_image* wi, int left, int top,
                    int width, int bottom) {
    if (bottom <= top || width <= 0) return;
    if (wi->shared)
        XShmPutImage(d, window, gc, wi->image, left, top, left, top, width, bottom - top, False);
    else
        XPutImage(d, window, gc, wi->image, left, top, left, top, width, bottom - top);
}
