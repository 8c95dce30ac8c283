// Recognizer sessions: each stroke goes to the recognizer as it arrives, and
// recognizing reads the recognizer's own words and lines back.
#include <new>

#include "Context.h"
#include "Session.h"
#include "TextUnit.h"

namespace ombra {

namespace {

// Ink of this session is given relative to this origin.
constexpr int32_t kOrigin = -100;
constexpr int kWholeSessionMode = 1;

}  // namespace

CVexaScriptSession::~CVexaScriptSession() {
    if (open_) endRecognition();
    if (ownRecContext && recognizer) recognizer->closeContext(ownRecContext);
}

int CVexaScriptSession::init(int sessionFlags) {
    // The session's flags were stored when it was opened; the argument is the
    // recognizer's session mode.
    if (!recognizer || COmbraSession::init(flags)) return 1;
    if (!ownRecContext && context) ownRecContext = context->openRecognitionContext();
    if (!ownRecContext) return 1;
    if (startRecognition(sessionFlags) != PSO_OK) return 1;
    open_ = true;
    return 0;
}

int CVexaScriptSession::release() {
    if (!recognizer) return 1;
    endRecognition();
    open_ = false;
    return 0;
}

int CVexaScriptSession::setRecognizerProgress(intptr_t callback, intptr_t userData) {
    recProgress_ = callback;
    progress.userData = userData;
    return giveProgress();
}

int CVexaScriptSession::giveProgress() {
    if (!hasRecognizer()) return PSO_ERR_NO_CONTEXT;
    if (!recProgress_) return PSO_OK;
    int32_t r =
        recognizer->SetExtraSessionParameters(recContext(), PSO_EXTRA_PROGRESS, recProgress_);
    if (r == PSO_OK)
        r = recognizer->SetExtraSessionParameters(recContext(), PSO_EXTRA_USER_DATA,
                                                  progress.userData);
    return r;
}

bool CVexaScriptSession::giveInk(int index) {
    bool taken = false;
    addInk(index, kOrigin, kOrigin, &taken);
    if (taken) given_.push_back(index);
    return taken;
}

int CVexaScriptSession::addStroke(COmbraStroke* s) {
    if (COmbraSession::addStroke(s)) return 1;
    if (!(flags & OMBRA_SESSION_RECOGNIZER)) return 0;
    if (recognized_) {
        // Ink after a recognition: the recognizer's session is complete, so it
        // is ended and a new one takes the whole page again, with the progress
        // callback the start cleared.
        recognized_ = false;
        given_.clear();
        if (open_) endRecognition();
        open_ = startRecognition(kWholeSessionMode) == PSO_OK;
        giveProgress();
        for (int i = 0; i + 1 < ink.count(); ++i) giveInk(i);
    }
    giveInk(ink.count() - 1);
    return 0;
}

int CVexaScriptSession::recognize() {
    if (!root || !hasRecognizer()) return 1;
    root->deleteContents();
    lines_.clear();
    PSO_HRC rc = recContext();
    // Recognizing twice without new ink reads the same answers again.
    if (!recognized_) {
        const int32_t r = recognizer->AddInkToRecSession(rc, nullptr, 0, 0, nullptr, 1);
        if (r == PSO_ERR_CANCELLED) return OMBRA_CANCELLED;
        recognized_ = true;
    }
    ink.computeMeanWidth();
    const int blocks = recognizer->GetNumAnswerBlocks(rc);
    for (int b = 0; b < blocks; ++b) {
        int error = 0;
        CTextUnit* word = CTextUnit::fromBlock(this, b, given_, kOrigin, kOrigin, &error);
        if (!word) {
            lastError() = error;
            if (error == 2) return 2;
            continue;
        }
        int32_t line = 0, place = 0;
        recognizer->GetAnswerLineInfo(rc, b, &line, &place);
        if (!root->addUnit(word)) {
            delete word;
            return 2;
        }
        lines_.push_back(line);
    }
    writeResult(false);
    return 0;
}

int CVexaScriptSession::writeResult(bool empty) {
    if (empty || !root || root->units.count() == 0)
        return writeRoot(true, nullptr, "<Ombra_RESULT ver=\"%s\"></Ombra_RESULT>");
    result.wipe();
    int at = 0;
    auto add = [&](int n) {
        if (n > 0) at += n;
    };
    add(result.appendFormat(at, "<Ombra_RESULT ver=\"%s\"><P>", kResultVersion));
    int line = -1, lineIndex = -1, word = 0;
    for (int i = 0; i < root->units.count(); ++i) {
        if (i == 0 || lines_[i] != line) {
            if (i) add(result.appendText(at, "</Line>"));
            line = lines_[i];
            add(result.appendFormat(at, "<Line id=\"%d\">", ++lineIndex));
            word = 0;
        }
        add(result.appendFormat(at, "<Word id=\"%d\">", word++));
        add(root->units.get(i)->writeXml(result, at));
        add(result.appendText(at, "</Word>"));
    }
    add(result.appendText(at, "</Line></P></Ombra_RESULT>"));
    return at;
}

}  // namespace ombra
