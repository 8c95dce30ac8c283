// A context owns the two engine bindings and the sessions opened on it.
// Contexts and sessions handed to callers are listed library-wide, so that a
// closed or foreign handle is recognised and answered with a code.
#ifndef OMBRA_CONTEXT_H
#define OMBRA_CONTEXT_H

#include "DataArr.h"
#include "RecognizerBinding.h"
#include "ShaperBinding.h"

namespace ombra {

class COmbraSession;

class COmbraContext {
  public:
    COmbraContext() = default;
    ~COmbraContext();
    COmbraContext(const COmbraContext&) = delete;
    COmbraContext& operator=(const COmbraContext&) = delete;

    // Loads both engines from the library's folder; 0, or 4 when the
    // recognizer refused the lexicon. A missing engine is no error here.
    int loadEngines();
    // 0 with the new session, 1 when its start failed, 2 without memory.
    int openSession(int flags, COmbraSession** out);
    // 0, or 1 when the session is not one of this context's.
    int closeSession(COmbraSession* session);
    // A recognition context of a session's own, made as the first one was
    // (from the library's folder, with the lexicon); null when there is none.
    PSO_HRC openRecognitionContext();

    RecognizerBinding recognizer;
    ShaperBinding shaper;
    CDataArr<COmbraSession*> sessions;
};

// The registry of live handles.
bool registerContext(COmbraContext* context);
void unregisterContext(COmbraContext* context);
bool isContext(const void* handle);
bool registerSession(COmbraSession* session);
void unregisterSession(COmbraSession* session);
bool isSession(const void* handle);

}  // namespace ombra

#endif
