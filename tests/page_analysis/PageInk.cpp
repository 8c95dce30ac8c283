#include "PageInk.h"

#include <cmath>

#include "Handwriting.h"

Ombra_STROKE& PageInk::add(std::vector<int32_t> xy, int32_t width, int32_t flags) {
    points_.push_back(std::move(xy));
    Ombra_STROKE s = {};
    s.id = firstId + static_cast<int32_t>(strokes_.size());
    s.count = static_cast<int32_t>(points_.back().size() / 2);
    s.width = width;
    s.flags = flags;
    s.lineId = 0;
    s.points = points_.back().data();
    strokes_.push_back(s);
    return strokes_.back();
}

int PageInk::write(const std::string& text, int32_t x, int32_t y, int32_t xHeight, uint32_t seed,
                   bool careless) {
    handwriting::Options o;
    o.seed = seed;
    o.xHeight = xHeight;
    o.originX = x;
    o.originY = y;
    o.step = 0.1;
    if (careless) o.variation = handwriting::Variation::careless();
    const handwriting::Writing w = handwriting::write(text, o);
    for (const vexa::Polyline& line : w.strokes) {
        std::vector<int32_t> xy;
        for (const auto& p : line) {
            xy.push_back(static_cast<int32_t>(std::lround(p.x)));
            xy.push_back(static_cast<int32_t>(std::lround(p.y)));
        }
        add(std::move(xy));
    }
    return static_cast<int>(w.strokes.size());
}

Ombra_STROKE& PageInk::draw(const std::vector<std::pair<int32_t, int32_t>>& corners, int step) {
    std::vector<int32_t> xy;
    for (size_t i = 0; i + 1 < corners.size(); ++i) {
        const double dx = corners[i + 1].first - corners[i].first;
        const double dy = corners[i + 1].second - corners[i].second;
        const int n = std::max(1, static_cast<int>(std::hypot(dx, dy) / step));
        for (int k = 0; k < n; ++k) {
            xy.push_back(static_cast<int32_t>(std::lround(corners[i].first + dx * k / n)));
            xy.push_back(static_cast<int32_t>(std::lround(corners[i].second + dy * k / n)));
        }
    }
    xy.push_back(corners.back().first);
    xy.push_back(corners.back().second);
    return add(std::move(xy));
}

Ombra_STROKE& PageInk::ellipse(int32_t cx, int32_t cy, int32_t rx, int32_t ry) {
    std::vector<int32_t> xy;
    for (int k = 0; k <= 64; ++k) {
        const double a = k * 2 * 3.14159265358979 / 64;
        xy.push_back(static_cast<int32_t>(std::lround(cx + rx * std::cos(a))));
        xy.push_back(static_cast<int32_t>(std::lround(cy + ry * std::sin(a))));
    }
    return add(std::move(xy));
}

int PageInk::addTo(OMBRA_SESSION session, AddStroke addStroke) const {
    for (const Ombra_STROKE& s : strokes_) {
        const int r = addStroke(session, &s);
        if (r) return r;
    }
    return 0;
}
