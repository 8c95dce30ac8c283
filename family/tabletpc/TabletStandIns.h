// In-process stand-ins for the Tablet PC objects, for machines that have none
// (Wine answers every one with "class not registered"): the recognizers
// collection with its recognizers, recognizer contexts, guides, word lists,
// results and alternates, the ink object with its strokes, and the ink
// collector with its renderer and events.
//
// A test registers the class factories on each thread that creates objects
// (StandInRegistration); the code under test then gets the stand-ins from
// CoCreateInstance as it would get the platform's objects. The recognizer
// reads no ink: it answers with the script a test sets, and records what the
// code under test gave it. The collector fires its events through the sink's
// IDispatch::Invoke, as the platform's collector does.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "outside/TabletPc.h"

namespace tabletpc {

// Registers the stand-in class factories for the calling thread for the life
// of the object. COM must be entered on the thread.
class StandInRegistration {
  public:
    StandInRegistration();
    ~StandInRegistration();
    StandInRegistration(const StandInRegistration&) = delete;
    StandInRegistration& operator=(const StandInRegistration&) = delete;
    bool ok() const { return ok_; }

  private:
    std::vector<DWORD> cookies_;
    bool ok_ = false;
};

// ---- the recognizer ----

// An alternate of the script; kNoConfidence answers get_Confidence with the
// platform's "no confidence" error.
constexpr int kNoConfidence = -1;
struct ScriptAlternate {
    std::wstring text;
    int confidence;  // an InkRecognitionConfidence, or kNoConfidence
};
// A word of the answer: its alternates, best first, and the strokes (indexes
// in the recognized strokes) its alternates stand for; empty: all strokes.
struct ScriptWord {
    std::vector<ScriptAlternate> alternates;
    std::vector<int> strokes;
};
struct RecognizerScript {
    std::vector<ScriptWord> words;  // the top string is their first alternates joined by a blank
    InkRecognitionStatus status = IRS_NoError;
};

// What the code under test did with the recognizer side.
struct RecognizerLog {
    std::vector<LONG> defaultRecognizerAsked;  // the language ids asked for
    std::wstring factoid;
    LONG recognitionFlags = -1;  // at the last recognition
    bool wordListSet = false;
    std::vector<std::wstring> wordList;  // of the last word list set
    bool guideSet = false;
    InkRecoGuide guide{};
    int recognitions = 0;
    std::vector<std::vector<LONG>> recognizedStrokes;  // packet data of each stroke handed last
    int inkObjectsAlive = 0;
    int contextsAlive = 0;
};

// The language ids that have a default recognizer (English only at first).
void setRecognizerLanguages(const std::vector<LONG>& languages);
void setRecognizerScript(const RecognizerScript& script);
// Makes the next creations of that class fail with "class not registered".
void failCreation(REFCLSID clsid, bool fail);
RecognizerLog recognizerLog();
// Makes every Release of the stand-ins that implement `iid` fault, as a
// broken platform object does: an access violation inside the object's own
// code (the object then stays). Until switched off or reset.
void faultOnRelease(REFIID iid, bool fault);
// Switches the faults off and gives up the references whose Release faulted.
void releaseFaultedObjects();
// Makes the ink object's CreateStroke fault the same way.
void faultOnCreateStroke(bool fault);
// Back to the start: English, no script, nothing failing or faulting, an empty log.
void resetRecognizer();

// ---- the collector ----

// Pixels from ink space as the renderer converts them (96 dots per inch:
// 2540 ink units an inch).
LONG pixelFromInk(LONG ink);
LONG inkFromPixel(LONG pixel);

// What the code under test did with the last collector made, and its events.
struct CollectorLog {
    bool made = false;
    LONG_PTR window = 0;
    bool enabled = false;
    bool sinkConnected = false;
    std::vector<InkCollectorEventInterest> interests;  // set on
    LONG collectionMode = -1;
    LONG mousePointer = -1;
    bool dynamicRendering = true;
    bool autoRedraw = true;
    bool allTabletsMode = false;
    LONG marginX = -1, marginY = -1;
    DWORD madeOnThread = 0;
    DWORD disabledOnThread = 0;      // 0 while not disabled
    DWORD disconnectedOnThread = 0;  // 0 while the sink is connected
    bool released = false;           // the code under test holds no reference
    DWORD releasedOnThread = 0;
};
CollectorLog collectorLog();

// Events of the last collector made, fired on the calling thread; false when
// there is no collector or no sink.
bool fireNewPackets(const std::vector<LONG>& packetData, LONG packetCount);
// The Cancel the sink left, through `cancel`.
bool fireStroke(VARIANT_BOOL* cancel);
bool fireCursorButtonUp();
bool fireCursorDown();
// Makes the collector's attach step of that name fail ("put_hWnd", "Advise").
void failCollectorStep(const char* step);

}  // namespace tabletpc
