#include "Session.h"

#include <cstring>
#include <new>
#include <vector>

namespace ombra {

int& lastError() {
    static int code = 0;
    return code;
}

namespace {

void toScratch(void* user, const char* text, int length) {
    static_cast<COmbraSession*>(user)->takeAnswerText(text, length);
}

int16_t clamp16(int64_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

}  // namespace

COmbraSession::COmbraSession(COmbraContext* context, RecognizerBinding* recognizer,
                             ShaperBinding* shaper)
    : context(context), recognizer(recognizer), shaper(shaper) {
    std::memset(scratch, 0, sizeof scratch);
    progress.size = sizeof(Ombra_PROGRESS);
    progress.done = 0;
    progress.total = 0;
    progress.userData = 0;
}

COmbraSession::~COmbraSession() {
    delete writer;
    delete root;
}

int COmbraSession::init(int sessionFlags) {
    root = new (std::nothrow) COmbraGroup(this, kGroupRoot);
    writer = new (std::nothrow) AnswerTextWriter(toScratch, this);
    clearScratch();
    flags = sessionFlags;
    if (!root || !writer) {
        release();
        return 1;
    }
    return 0;
}

int COmbraSession::release() {
    delete writer;
    writer = nullptr;
    delete root;
    root = nullptr;
    return 0;
}

int COmbraSession::addStroke(COmbraStroke* s) {
    if (s->flags & OMBRA_STROKE_NO_LINE_ID) s->lineId = -1;
    if (!ink.append(s)) {
        delete s;
        return 1;
    }
    return 0;
}

void COmbraSession::checkStroke() {
    if (!root) return;
    for (int i = 0; i < ink.count(); ++i) root->addStroke(i);
}

bool COmbraSession::reportProgress() { return callback && callback(&progress) != 0; }

void COmbraSession::advanceProgress(int by, bool grow) {
    progress.done += by;
    if (grow) progress.total += by;
}

void COmbraSession::setProgress(Ombra_PROGRESS_CALLBACK cb, intptr_t userData) {
    callback = cb;
    progress.userData = userData;
}

int COmbraSession::recognize() {
    if (!root) return 1;
    // A repeated recognition analyses the page afresh instead of adding a
    // second copy of every band to the tree.
    root->deleteContents();
    root->strokes.clear();
    root->box.clear();
    checkStroke();
    progress.size = sizeof(Ombra_PROGRESS);
    progress.done = 0;
    progress.total = 2 * ink.count();
    if (reportProgress()) return OMBRA_CANCELLED;
    segmentPage();
    ink.computeMeanWidth();
    const int r = root->recognize();
    if (r == OMBRA_CANCELLED) return r;
    // What was read is written also when a part failed: the failure is
    // reported with it, and nothing read is lost.
    writeResult(false);
    if (r) return r;
    if (reportProgress()) return OMBRA_CANCELLED;
    return result.count() > 1 ? 0 : 1;
}

int COmbraSession::writeRoot(bool empty, const char* open, const char* emptyForm) {
    result.wipe();
    if (empty || !root) return result.appendFormat(0, emptyForm, kResultVersion);
    int at = 0;
    auto add = [&](int n) {
        if (n > 0) at += n;
    };
    add(result.appendFormat(at, open, kResultVersion));
    add(root->writeXml(result, at));
    add(result.appendText(at, "</Ombra_RESULT>"));
    return at;
}

int COmbraSession::writeResult(bool empty) {
    return writeRoot(empty, "<Ombra_RESULT ver=\"%s\">",
                     "<Ombra_RESULT ver=\"%s\"></Ombra_RESULT>");
}

int COmbraSession::startRecognition(int mode) {
    if (!hasRecognizer()) return 1;
    const PSO_SESSION_START start = {0, static_cast<uint32_t>(mode)};
    return recognizer->StartRecognitionSession(recContext(), &start);
}

int COmbraSession::endRecognition() {
    if (!hasRecognizer()) return 1;
    return recognizer->EndRecognitionSession(recContext());
}

int COmbraSession::addInk(int index, int32_t originX, int32_t originY, bool* taken) {
    if (taken) *taken = false;
    const COmbraStroke* s = stroke(index);
    if (!s || s->count < 1 || !hasRecognizer()) return 0;
    const int64_t scale = ink.scale;
    std::vector<PSO_POINT> points;
    points.reserve(static_cast<size_t>(s->count) + 1);
    for (int i = 0; i < s->count; ++i) {
        PSO_POINT p;
        p.x = clamp16(((int64_t(s->x(i)) - originX) * scale) >> 4);
        p.y = clamp16(((int64_t(s->y(i)) - originY) * scale) >> 4);
        points.push_back(p);
    }
    if (points.back().y != -1) points.push_back(PSO_POINT{0, -1});
    const int32_t r = recognizer->AddInkToRecSession(
        recContext(), points.data(), static_cast<int32_t>(points.size()), 0, nullptr, 1);
    if (taken) *taken = r == PSO_OK;
    return 1;
}

void COmbraSession::takeAnswerText(const char* text, int length) {
    // Pieces that would overfill the scratch are dropped whole.
    if (scratchLength + length > kScratchChars - 1) return;
    std::memcpy(scratch + scratchLength, text, length);
    scratchLength += length;
    scratch[scratchLength] = 0;
}

void COmbraSession::clearScratch() {
    std::memset(scratch, 0, sizeof scratch);
    scratchLength = 0;
}

}  // namespace ombra
