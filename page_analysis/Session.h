// A session collects the strokes of one page and turns them into the result
// text. The page session cuts the page into bands of text, tables, charts and
// shapes; the shape session hands every stroke to the shape recognizer, one
// shaper per horizontal band; the recognizer session hands every stroke to
// the recognizer as it arrives.
#ifndef OMBRA_SESSION_H
#define OMBRA_SESSION_H

#include <cstdint>
#include <vector>

#include "AnswerTextWriter.h"
#include "DataArr.h"
#include "Ink.h"
#include "Ombra.h"
#include "PageTree.h"
#include "RecognizerBinding.h"
#include "ShaperBinding.h"

namespace ombra {

class COmbraContext;

// The library-wide code of the last text-recognition failure; never cleared.
int& lastError();

constexpr int kScratchChars = 480;
constexpr int kDefaultLineHeight = 32;
constexpr const char* kResultVersion = "1.28";

class COmbraSession {
  public:
    COmbraSession(COmbraContext* context, RecognizerBinding* recognizer, ShaperBinding* shaper);
    COmbraSession(const COmbraSession&) = delete;
    COmbraSession& operator=(const COmbraSession&) = delete;
    virtual ~COmbraSession();

    // 0, or 1 when the session cannot start.
    virtual int init(int flags);
    virtual int release();
    // The session takes the stroke (also when it answers failure).
    virtual int addStroke(COmbraStroke* stroke);
    virtual int segmentPage();
    virtual int recognize();
    virtual int writeResult(bool empty);
    virtual void checkStroke();

    // Where the page is cut into bands: c0 < c1 < ...; band k holds the strokes
    // whose centre lies in [ck, ck+1). Empty without strokes or line height.
    std::vector<int64_t> findBandCuts() const;

    // Recognizer calls of the text pass. startRecognition: 0, or the
    // recognizer's code (1 without a recognizer).
    int startRecognition(int mode);
    int endRecognition();
    // Gives stroke i to the open recognition session relative to the origin;
    // 0 when there is nothing to give, else 1; *taken tells whether the
    // recognizer took the stroke.
    int addInk(int index, int32_t originX, int32_t originY, bool* taken = nullptr);

    // Progress: both done and total grow by `by` (total only when `grow`);
    // true when the callback asks to cancel.
    bool reportProgress();
    void advanceProgress(int by, bool grow);
    void setProgress(Ombra_PROGRESS_CALLBACK callback, intptr_t userData);

    // The recognition context this session's recognizer calls go to: its own
    // when it has one, else the one the context's sessions share.
    PSO_HRC recContext() const {
        return ownRecContext ? ownRecContext : recognizer ? recognizer->context() : nullptr;
    }

    // The result text handed out by Ombra_Recognize.
    const char* resultText() const { return result.text(); }
    bool hasRecognizer() const { return recognizer && recognizer->loaded(); }
    bool hasShaper() const { return shaper && shaper->servesAnswers(); }
    // The stroke, or null for an index out of range.
    COmbraStroke* stroke(int i) const { return ink.stroke(i); }
    // Moves the answer-text writer's pieces into the scratch.
    void takeAnswerText(const char* text, int length);
    void clearScratch();

    AnswerTextWriter* writer = nullptr;
    COmbraContext* context;
    int flags = 0;
    int32_t lineHeight = kDefaultLineHeight;
    char scratch[kScratchChars];
    int scratchLength = 0;
    COmbraInk ink;
    COmbraGroup* root = nullptr;
    CCharArray result;
    RecognizerBinding* recognizer;
    ShaperBinding* shaper;
    PSO_HRC ownRecContext = nullptr;
    Ombra_PROGRESS_CALLBACK callback = nullptr;
    Ombra_PROGRESS progress;

  protected:
    // The band as the group it turned out to be (the band itself or its
    // replacement; the band is deleted when replaced), or null when dropped.
    COmbraGroup* classifyBand(COmbraGroup* band);
    // The root element around the root group's XML.
    int writeRoot(bool empty, const char* open, const char* emptyForm);
};

// A recognition session started on a session's recognizer, ended when this
// goes out of scope (or earlier by end()): no way out of a line, an exception
// included, leaves it open.
class RecognitionScope {
  public:
    explicit RecognitionScope(COmbraSession* session) : session_(session) {}
    ~RecognitionScope() { end(); }
    RecognitionScope(const RecognitionScope&) = delete;
    RecognitionScope& operator=(const RecognitionScope&) = delete;
    void end() {
        if (session_) session_->endRecognition();
        session_ = nullptr;
    }

  private:
    COmbraSession* session_;
};

// Strokes become shapes, one shaper per band of 16000 page units.
class CShaperSession : public COmbraSession {
  public:
    using COmbraSession::COmbraSession;
    ~CShaperSession() override;
    int init(int flags) override;
    int release() override;
    int addStroke(COmbraStroke* stroke) override;
    int segmentPage() override { return 1; }
    int recognize() override;
    int writeResult(bool empty) override;
};

// Strokes go to the recognizer as they arrive; recognizing reads its words.
// The session keeps its recognizer state in a recognition context of its own:
// the page sessions restart the shared one for every text line, and another
// recognizer session would start it afresh, either of which would lose this
// session's ink or hand it another session's words.
class CVexaScriptSession : public COmbraSession {
  public:
    using COmbraSession::COmbraSession;
    ~CVexaScriptSession() override;
    int init(int flags) override;
    int release() override;
    int addStroke(COmbraStroke* stroke) override;
    int segmentPage() override { return 1; }
    int recognize() override;
    int writeResult(bool empty) override;
    // The recognizer's progress callback and its user data, given again to
    // every recognition session this one starts (a start clears them).
    int setRecognizerProgress(intptr_t callback, intptr_t userData);

  private:
    bool giveInk(int index);
    int giveProgress();

    intptr_t recProgress_ = 0;
    bool open_ = false;

    // Page indices of the strokes the recognizer took, in its numbering.
    std::vector<int> given_;
    // Line of each word unit of the root, as the recognizer grouped them.
    std::vector<int> lines_;
    bool recognized_ = false;
};

}  // namespace ombra

#endif
