// Rectangles of the 640x480 picture, and a short list of them: what a frame redraws, what
// the presenter has still to show.
#pragma once

#include <vector>

#include "platform/picture_size.h"

// Pixels [left, right) x [top, bottom).
struct picture_area {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return left >= right || top >= bottom; }
    long size() const { return empty() ? 0 : long(right - left) * (bottom - top); }
};

constexpr picture_area whole_picture{0, 0, screen_w, screen_h};

picture_area around(const picture_area& a, const picture_area& b);
picture_area on_picture(const picture_area& a);  // the part of `a` inside the picture

// Areas of the picture, clipped to it. One added where it costs no more than keeping the
// two apart (a falling block's place now and a frame ago) is joined to the other, so the
// list stays short; a list grown long anyway becomes the rectangle around it.
class area_list {
public:
    area_list() = default;
    explicit area_list(const picture_area& a) { add(a); }
    void add(picture_area a);
    void add(const area_list& other);
    void clear() { parts_.clear(); }
    bool empty() const { return parts_.empty(); }
    const std::vector<picture_area>& parts() const { return parts_; }

private:
    std::vector<picture_area> parts_;
};
