// handwrite: prints the pen strokes of a text as screen pixel coordinates, so
// that end-to-end tests (and demos) can write with xdotool.
//
//   handwrite [options] <text>
//     --seed N              the hand (default 1)
//     --x X --y Y           left end of the first baseline, screen pixels (default 100 200)
//     --height H            x-height in pixels (default 14)
//     --variation V         none, moderate (default) or careless
//     --separate            letters written apart
//     --other-forms         letter forms the recognizer was not given
//     --joined J            share of neighbouring small letters joined (0..1)
//     --xdotool             print an xdotool script (mousemove / mousedown / mouseup)
//     --pause-ms N          with --xdotool: a pause after every stroke (default 30)
//     --point-ms N          with --xdotool: a pause after every pen position, as a pen
//                           samples (default 0: as fast as xdotool goes; a receiver may
//                           then merge the moves)
//     --min-step P          with --xdotool: a pen position only once it is P pixels or
//                           more from the last one (a faster pen at the same sampling
//                           rate; the end of a stroke is always written)
//
// Without --xdotool each stroke is one line of "x,y" pixel pairs. A "\n" in
// the text (backslash, n) starts a new line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Handwriting.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: handwrite [--seed N] [--x X --y Y] [--height H] "
                 "[--variation none|moderate|careless]\n"
                 "                 [--separate] [--other-forms] [--joined J] [--xdotool "
                 "[--pause-ms N] [--point-ms N] [--min-step P]] <text>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    handwriting::Options o;
    double x = 100, y = 200, height = 14;
    bool xdotool = false;
    int pauseMs = 30;
    int pointMs = 0;
    double minStep = 0;
    std::string text;
    bool haveText = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--seed" && more) {
            o.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--x" && more) {
            x = std::atof(argv[++i]);
        } else if (a == "--y" && more) {
            y = std::atof(argv[++i]);
        } else if (a == "--height" && more) {
            height = std::atof(argv[++i]);
        } else if (a == "--variation" && more) {
            const std::string v = argv[++i];
            if (v == "none")
                o.variation = handwriting::Variation::none();
            else if (v == "moderate")
                o.variation = handwriting::Variation::moderate();
            else if (v == "careless")
                o.variation = handwriting::Variation::careless();
            else
                return usage();
        } else if (a == "--separate") {
            o.separateLetters = true;
        } else if (a == "--other-forms") {
            o.forms = handwriting::FormChoice::Other;
        } else if (a == "--joined" && more) {
            o.joined = std::atof(argv[++i]);
        } else if (a == "--xdotool") {
            xdotool = true;
        } else if (a == "--pause-ms" && more) {
            pauseMs = std::atoi(argv[++i]);
        } else if (a == "--point-ms" && more) {
            pointMs = std::atoi(argv[++i]);
        } else if (a == "--min-step" && more) {
            minStep = std::atof(argv[++i]);
        } else if (!haveText && (a.empty() || a[0] != '-')) {
            text = a;
            haveText = true;
        } else {
            return usage();
        }
    }
    if (!haveText || height <= 0) return usage();
    for (size_t p; (p = text.find("\\n")) != std::string::npos;) text.replace(p, 2, "\n");
    if (!handwriting::canWrite(text)) {
        std::fprintf(stderr, "handwrite: the text holds characters without a written form\n");
        return 1;
    }
    // Pen positions in quarter pixels, as the ink of the system; printed in pixels.
    o.xHeight = height * 4;
    o.originX = x * 4;
    o.originY = y * 4;
    const handwriting::Writing w = handwriting::write(text, o);
    for (const vexa::Polyline& stroke : w.strokes) {
        if (stroke.empty()) continue;
        auto px = [](float v) { return static_cast<long>(std::lround(v / 4)); };
        if (xdotool) {
            std::printf("mousemove %ld %ld\nmousedown 1\n", px(stroke[0].x), px(stroke[0].y));
            size_t last = 0;
            for (size_t k = 1; k < stroke.size(); ++k) {
                const double dx = (stroke[k].x - stroke[last].x) / 4;
                const double dy = (stroke[k].y - stroke[last].y) / 4;
                if (k + 1 < stroke.size() && std::hypot(dx, dy) < minStep) continue;
                last = k;
                std::printf("mousemove %ld %ld\n", px(stroke[k].x), px(stroke[k].y));
                if (pointMs > 0) std::printf("sleep %.3f\n", pointMs / 1000.0);
            }
            std::printf("mouseup 1\n");
            if (pauseMs > 0) std::printf("sleep %.3f\n", pauseMs / 1000.0);
        } else {
            for (size_t k = 0; k < stroke.size(); ++k)
                std::printf("%s%ld,%ld", k ? " " : "", px(stroke[k].x), px(stroke[k].y));
            std::printf("\n");
        }
    }
    return 0;
}
