// Ombra: analyses one handwritten page. The caller hands it strokes and gets
// back one XML text that describes the page as text paragraphs, lists,
// tables, charts and shapes.
//
// Calling order: Ombra_CreateContext -> Ombra_OpenSession (any number per
// context) -> optionally Ombra_SetExtraSessionParameters -> Ombra_AddStroke
// for each stroke -> Ombra_Recognize (may be repeated) -> Ombra_CloseSession
// -> Ombra_CloseContext. Ombra_GetVersionId may be called at any time.
//
// Every export answers an int code, 0 for success (OMBRA_* below). Handles
// are checked against the live ones, so a closed context or session is
// answered with a code rather than touched. The library exports these eight
// functions by undecorated name, __cdecl. One context is used by one thread
// at a time.
#ifndef OMBRA_H
#define OMBRA_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define OMBRA_API __cdecl
#else
#define OMBRA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OmbraContextHandle* OMBRA_CONTEXT;
typedef struct OmbraSessionHandle* OMBRA_SESSION;

// One stroke. The library copies the record and the points at once.
typedef struct Ombra_STROKE {
    int32_t id;             // caller's id; its low 16 bits go to the shape recognizer
    int32_t count;          // number of points
    int32_t width;          // stroke width value (bold words, bullets)
    int32_t attribute;      // a second attribute such as a colour (paragraph starts)
    int32_t kind;           // OMBRA_KIND_IGNORED: the stroke is ignored
    int32_t flags;          // OMBRA_STROKE_*
    int32_t lineId;         // caller's line or group id; shape sessions: align group
    const int32_t* points;  // count pairs x, y; y grows downwards
} Ombra_STROKE;

#define OMBRA_KIND_IGNORED 3
#define OMBRA_STROKE_NO_SEGMENTATION 0x01  // not cut into bands; shapes: as drawn
#define OMBRA_STROKE_NO_LINE_ID 0x20       // the line id is replaced by -1

// The progress record handed to the callback (size is 16 on 32-bit Windows).
typedef struct Ombra_PROGRESS {
    int32_t size;
    int32_t done;
    int32_t total;
    intptr_t userData;  // the extra argument of Ombra_SetExtraSessionParameters kind 0
} Ombra_PROGRESS;

// Non-zero asks the library to cancel the recognition (OMBRA_CANCELLED).
typedef int(OMBRA_API* Ombra_PROGRESS_CALLBACK)(Ombra_PROGRESS* progress);

#ifdef __cplusplus
// The records as the interface gives them: eight 32-bit slots for a stroke and
// a progress record of 16 bytes in the shipped 32-bit build (the pointer-sized
// slots widen in a 64-bit one).
static_assert(offsetof(Ombra_STROKE, count) == 4 && offsetof(Ombra_STROKE, width) == 8 &&
                  offsetof(Ombra_STROKE, attribute) == 12 && offsetof(Ombra_STROKE, kind) == 16 &&
                  offsetof(Ombra_STROKE, flags) == 20 && offsetof(Ombra_STROKE, lineId) == 24 &&
                  offsetof(Ombra_STROKE, points) == (sizeof(void*) == 4 ? 28 : 32) &&
                  sizeof(Ombra_STROKE) == (sizeof(void*) == 4 ? 32 : 40),
              "Ombra_STROKE layout");
static_assert(offsetof(Ombra_PROGRESS, done) == 4 && offsetof(Ombra_PROGRESS, total) == 8 &&
                  offsetof(Ombra_PROGRESS, userData) == (sizeof(void*) == 4 ? 12 : 16) &&
                  sizeof(Ombra_PROGRESS) == (sizeof(void*) == 4 ? 16 : 24),
              "Ombra_PROGRESS layout");
#endif

// Session flags of Ombra_OpenSession.
#define OMBRA_SESSION_NO_SHAPER 0x01     // page session without the shape library
#define OMBRA_SESSION_RECOGNIZER 0x02    // strokes go to the recognizer as they arrive
#define OMBRA_SESSION_SHAPES_ALIGN 0x04  // shape session, strokes aligned
#define OMBRA_SESSION_SHAPES 0x10        // shape session
#define OMBRA_SESSION_FINALIZE 0x1000    // shape sessions: finalize pending shapes
#define OMBRA_SESSION_NEEDS_RECOGNIZER 0x10000
#define OMBRA_SESSION_NEEDS_SHAPER 0x20000

// Kinds of Ombra_SetExtraSessionParameters.
#define OMBRA_PARAM_PROGRESS 0     // value: callback, extra: its user data
#define OMBRA_PARAM_FINALIZE 1     // value: non-zero finalizes pending shapes
#define OMBRA_PARAM_LINE_HEIGHT 2  // value: the line height (up to 665), else a pointer to it

// Result codes.
#define OMBRA_OK 0
#define OMBRA_ERR_ARGUMENT 1  // null argument, unknown session, failed start
#define OMBRA_ERR_MEMORY 2
#define OMBRA_ERR_KIND 3    // bad what or kind
#define OMBRA_ERR_ENGINE 4  // a required engine is not loaded; lexicon refused
#define OMBRA_ERR_HANDLE 5  // null context or session where one is needed
#define OMBRA_CANCELLED 6
#define OMBRA_ERR_NO_SESSION 101
#define OMBRA_ERR_NO_RECOGNIZER 103

// what 1: the library's banner; 2: the recognizer's; 3: the shape library's.
// buffer: at least 64 bytes.
int OMBRA_API Ombra_GetVersionId(OMBRA_CONTEXT context, int what, char* buffer);
int OMBRA_API Ombra_CreateContext(OMBRA_CONTEXT* out);
int OMBRA_API Ombra_CloseContext(OMBRA_CONTEXT context);
int OMBRA_API Ombra_OpenSession(OMBRA_CONTEXT context, OMBRA_SESSION* out, int flags);
int OMBRA_API Ombra_CloseSession(OMBRA_SESSION session);
int OMBRA_API Ombra_SetExtraSessionParameters(OMBRA_SESSION session, int kind, intptr_t value,
                                              intptr_t extra);
int OMBRA_API Ombra_AddStroke(OMBRA_SESSION session, const Ombra_STROKE* stroke);
// *xml receives the result text, owned by the session: valid until the next
// Ombra_Recognize or Ombra_CloseSession of that session.
int OMBRA_API Ombra_Recognize(OMBRA_SESSION session, const char** xml);

#ifdef __cplusplus
}
#endif

#endif
