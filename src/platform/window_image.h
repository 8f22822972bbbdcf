// Where the scaled picture is drawn on X: an image as large as the window, black around
// the picture, in shared memory the server reads directly when it can (else sent over
// the connection). Its size follows the window, so nothing is fixed at start.
#pragma once

#include <X11/Xlib.h>

#include "platform/picture_scaler.h"

struct window_image;

// True when the screen's default visual takes the scaler's 32-bit 0xRRGGBB pixels as they
// are. Start-up asks, once: it also tries a shared segment, with a round trip.
bool window_images_work(Display* d);

// A black w x h image, or nullptr when it cannot be made; and its end. Neither waits for
// the server, so the presenter may call them (with the X lock held).
window_image* make_window_image(Display* d, int w, int h);
void destroy_window_image(Display* d, window_image* image);

pixel_rows image_pixels(window_image* image);

// Puts the image's rows [top, bottom) (columns [left, left + width)) on the window.
void put_image_rows(Display* d, Drawable window, GC gc, window_image* image, int left, int top,
                    int width, int bottom);
