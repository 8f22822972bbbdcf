#include "platform/picture_area.h"

#include <algorithm>

picture_area around(const picture_area& a, const picture_area& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

picture_area on_picture(const picture_area& a) {
    return {std::max(a.left, whole_picture.left), std::max(a.top, whole_picture.top),
            std::min(a.right, whole_picture.right), std::min(a.bottom, whole_picture.bottom)};
}

void area_list::add(picture_area a) {
    a = on_picture(a);
    if (a.empty()) return;
    // Joining may make a rectangle worth joining to one passed over already: look again.
    for (size_t i = 0; i < parts_.size();) {
        const picture_area both = around(parts_[i], a);
        if (both.size() > parts_[i].size() + a.size()) {
            ++i;
            continue;
        }
        a = both;
        parts_[i] = parts_.back();
        parts_.pop_back();
        i = 0;
    }
    parts_.push_back(a);
    constexpr size_t most = 64;
    if (parts_.size() <= most) return;
    picture_area all = parts_.front();
    for (const picture_area& p : parts_) all = around(all, p);
    parts_.assign(1, all);
}

void area_list::add(const area_list& other) {
    for (const picture_area& p : other.parts_) add(p);
}
