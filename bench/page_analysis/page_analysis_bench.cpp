// Pages per second for a page of ten handwritten lines and one three-column
// table. The reference is the recognizer alone reading the same page in one
// session (finding its lines itself), so the ratio is what the analysis
// around the recognition (bands, shape passes, tables, lines, grouping, XML)
// costs against the recognizer's own page reading.
#include <cstdio>
#include <vector>

#include "LinkedEngines.h"
#include "Ombra.h"
#include "PageGenerator.h"
#include "outside/VexaScript.h"
#include "harness.h"

int main(int argc, char** argv) {
    engines::Scope scope;
    OMBRA_CONTEXT context = nullptr;
    if (Ombra_CreateContext(&context) != 0) {
        std::fprintf(stderr, "no context\n");
        return 1;
    }
    const MadePage page = makeTextAndTablePage(10, 7);

    // The page's ink as one recognizer session takes it (in the recognizer's
    // units, as the page analysis scales it).
    std::vector<std::vector<PSO_POINT>> strokes;
    for (const Ombra_STROKE& s : page.ink.strokes()) {
        std::vector<PSO_POINT> points;
        for (int i = 0; i < s.count; ++i)
            points.push_back(PSO_POINT{static_cast<int16_t>(s.points[2 * i] * 2),
                                       static_cast<int16_t>(s.points[2 * i + 1] * 2)});
        points.push_back(PSO_POINT{0, -1});
        strokes.push_back(points);
    }
    PSO_HRC rc = PSO_CreateRecognitionContext();
    std::FILE* f = std::fopen(OMBRA_TEST_LEXICON, "rb");
    std::vector<char> lexicon;
    if (f) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            lexicon.insert(lexicon.end(), buffer, buffer + n);
        std::fclose(f);
    }
    PSO_AddLexGeneratorToRecContext(rc, lexicon.data(), static_cast<int32_t>(lexicon.size()));

    bench::Harness h(argc, argv);
    h.add(
        "recognizer alone, the same page in one session",
        [&] {
            const PSO_SESSION_START start = {0, PSO_SF_WORD_SEGMENTATION};
            PSO_StartRecognitionSession(rc, &start);
            for (const auto& stroke : strokes)
                PSO_AddInkToRecSession(rc, stroke.data(), static_cast<int32_t>(stroke.size()), 0,
                                       nullptr, 1);
            PSO_AddInkToRecSession(rc, nullptr, 0, 0, nullptr, 1);
            bench::keep(PSO_GetNumAnswerBlocks(rc));
            PSO_EndRecognitionSession(rc);
        },
        "page");
    h.add(
        "page analysis: 10 lines and a table",
        [&] {
            OMBRA_SESSION s = nullptr;
            Ombra_OpenSession(context, &s, 0);
            page.ink.addTo(s, Ombra_AddStroke);
            const char* xml = nullptr;
            Ombra_Recognize(s, &xml);
            bench::keep(xml);
            Ombra_CloseSession(s);
        },
        "page");
    const int r = h.run();
    PSO_DeleteRecognitionContext(rc);
    Ombra_CloseContext(context);
    return r;
}
