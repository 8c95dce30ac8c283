// The eight exports. Every handle is checked against the live ones and every
// pointer before use; nothing is thrown across the interface (memory that
// runs out inside a standard container comes back as code 2).
#include <cstring>
#include <new>

#include "Context.h"
#include "Ombra.h"
#include "Session.h"

using namespace ombra;

namespace {

// The library name, the trademark sign (0x99 in Windows-1252), a title and
// the version, zero-padded to the 64 bytes a caller's buffer holds.
const char kBanner[] = "Ombra\x99 page analysis engine v.2.1.34";
constexpr int kVersionBytes = 64;
// Kind 2 of Ombra_SetExtraSessionParameters: a value up to this is a height.
constexpr intptr_t kLineHeightValueMax = 665;
constexpr intptr_t kLowestAddress = 0x10000;

int mapRecognizerError(int r) {
    switch (r) {
        case 0:
            return 0;
        case 2:
            return 3;
        case 3:
            return 4;
        case 5:
            return 2;
        case 6:
            return 5;
        default:
            return 1;
    }
}

COmbraContext* contextOf(OMBRA_CONTEXT handle) {
    return isContext(handle) ? reinterpret_cast<COmbraContext*>(handle) : nullptr;
}

COmbraSession* sessionOf(OMBRA_SESSION handle) {
    return isSession(handle) ? reinterpret_cast<COmbraSession*>(handle) : nullptr;
}

template <class F>
int guarded(F body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return OMBRA_ERR_MEMORY;
    } catch (...) {
        return OMBRA_ERR_ARGUMENT;
    }
}

}  // namespace

extern "C" {

int OMBRA_API Ombra_GetVersionId(OMBRA_CONTEXT handle, int what, char* buffer) {
    if (!buffer) return OMBRA_ERR_ARGUMENT;
    if (what == 1) {
        std::memset(buffer, 0, kVersionBytes);
        std::memcpy(buffer, kBanner, sizeof kBanner - 1);
        return 0;
    }
    if (what != 2 && what != 3) return OMBRA_ERR_KIND;
    COmbraContext* context = contextOf(handle);
    if (!context) return OMBRA_ERR_HANDLE;
    if (what == 2) {
        if (!context->recognizer.GetRecognizerInfo) return OMBRA_ERR_ENGINE;
        return mapRecognizerError(context->recognizer.GetRecognizerInfo(2, buffer));
    }
    if (!context->shaper.loaded()) return OMBRA_ERR_ENGINE;
    // The version text may be shorter than 64 bytes: copy up to its end and pad.
    const char* text = context->shaper.GetShaperVerNumber();
    std::memset(buffer, 0, kVersionBytes);
    if (text) std::strncpy(buffer, text, kVersionBytes - 1);
    return 0;
}

int OMBRA_API Ombra_CreateContext(OMBRA_CONTEXT* out) {
    if (!out) return OMBRA_ERR_ARGUMENT;
    return guarded([&] {
        COmbraContext* context = new (std::nothrow) COmbraContext;
        if (!context) return OMBRA_ERR_MEMORY;
        const int r = context->loadEngines();
        if (!registerContext(context)) {
            delete context;
            return OMBRA_ERR_MEMORY;
        }
        *out = reinterpret_cast<OMBRA_CONTEXT>(context);
        return r;
    });
}

int OMBRA_API Ombra_CloseContext(OMBRA_CONTEXT handle) {
    COmbraContext* context = contextOf(handle);
    if (!context) return OMBRA_ERR_ARGUMENT;
    unregisterContext(context);
    delete context;
    return 0;
}

int OMBRA_API Ombra_OpenSession(OMBRA_CONTEXT handle, OMBRA_SESSION* out, int flags) {
    COmbraContext* context = contextOf(handle);
    if (!context || !out) return OMBRA_ERR_ARGUMENT;
    if (flags & OMBRA_SESSION_RECOGNIZER) {
        flags = 0x10003;
    } else if (!(flags & (OMBRA_SESSION_SHAPES_ALIGN | OMBRA_SESSION_SHAPES))) {
        flags |= (flags & OMBRA_SESSION_NO_SHAPER) ? 0x40010000 : static_cast<int>(0xFFFF4000u);
    }
    if ((flags & OMBRA_SESSION_NEEDS_RECOGNIZER) && !context->recognizer.loaded())
        return OMBRA_ERR_ENGINE;
    if ((flags & OMBRA_SESSION_NEEDS_SHAPER) && !context->shaper.servesAnswers())
        return OMBRA_ERR_ENGINE;
    // Shape sessions call the shape library with every stroke: without it they
    // would call through empty entries.
    if ((flags & (OMBRA_SESSION_SHAPES_ALIGN | OMBRA_SESSION_SHAPES)) &&
        !context->shaper.servesAnswers())
        return OMBRA_ERR_ENGINE;
    return guarded([&] {
        COmbraSession* session = nullptr;
        const int r = context->openSession(flags, &session);
        if (r == 0) *out = reinterpret_cast<OMBRA_SESSION>(session);
        return r;
    });
}

int OMBRA_API Ombra_CloseSession(OMBRA_SESSION handle) {
    COmbraSession* session = sessionOf(handle);
    if (!session) return OMBRA_ERR_ARGUMENT;
    COmbraContext* context = session->context;
    return context ? context->closeSession(session) : OMBRA_ERR_ARGUMENT;
}

int OMBRA_API Ombra_SetExtraSessionParameters(OMBRA_SESSION handle, int kind, intptr_t value,
                                              intptr_t extra) {
    COmbraSession* session = sessionOf(handle);
    if (!session) return OMBRA_ERR_ARGUMENT;
    switch (kind) {
        case OMBRA_PARAM_PROGRESS: {
            if (!value) return OMBRA_ERR_ARGUMENT;
            if (session->flags & OMBRA_SESSION_RECOGNIZER) {
                session->progress.userData = extra;
                auto* words = dynamic_cast<CVexaScriptSession*>(session);
                if (!words || !session->hasRecognizer()) return OMBRA_ERR_ENGINE;
                // The session keeps both and gives them to every recognition
                // session it starts: a start clears them in the recognizer.
                return mapRecognizerError(words->setRecognizerProgress(value, extra));
            }
            session->setProgress(reinterpret_cast<Ombra_PROGRESS_CALLBACK>(value), extra);
            return 0;
        }
        case OMBRA_PARAM_FINALIZE:
            if (!(session->flags & OMBRA_SESSION_SHAPES_ALIGN)) return OMBRA_ERR_KIND;
            if (value)
                session->flags |= OMBRA_SESSION_FINALIZE;
            else
                session->flags &= ~OMBRA_SESSION_FINALIZE;
            return 0;
        case OMBRA_PARAM_LINE_HEIGHT: {
            // Up to 665 the value is the height itself; a larger value points
            // to a 32-bit height. The lowest 64 KB are never mapped, so a
            // value below that is no address and is refused rather than read.
            // Only a positive height that fits the shape recognizer's
            // resolution (1..16384) is taken.
            int64_t height = value;
            if (value > kLineHeightValueMax) {
                if (value < kLowestAddress) return OMBRA_ERR_KIND;
                height = *reinterpret_cast<const int32_t*>(value);
            }
            if (height < 1 || height > 16384) return OMBRA_ERR_KIND;
            session->lineHeight = static_cast<int32_t>(height);
            return 0;
        }
        default:
            return OMBRA_ERR_KIND;
    }
}

int OMBRA_API Ombra_AddStroke(OMBRA_SESSION handle, const Ombra_STROKE* record) {
    if (record && record->kind == OMBRA_KIND_IGNORED) return 0;
    COmbraSession* session = sessionOf(handle);
    if (!session) return OMBRA_ERR_HANDLE;
    if (!record) return OMBRA_ERR_ARGUMENT;
    return guarded([&] {
        COmbraStroke* stroke = COmbraStroke::make(*record);
        if (!stroke) return OMBRA_ERR_MEMORY;
        return session->addStroke(stroke) ? lastError() : 0;
    });
}

int OMBRA_API Ombra_Recognize(OMBRA_SESSION handle, const char** xml) {
    COmbraSession* session = sessionOf(handle);
    if (!session) return OMBRA_ERR_NO_SESSION;
    if (!xml) return OMBRA_ERR_ARGUMENT;
    return guarded([&] {
        int r;
        if (session->ink.count() > 0) {
            if (!session->hasRecognizer()) return OMBRA_ERR_NO_RECOGNIZER;
            r = session->recognize();
        } else {
            r = session->writeResult(true) > 0 ? 0 : 1;
        }
        if (r == OMBRA_CANCELLED) return r;
        // The result text is handed out with a failure too: it holds what could
        // be read (a cell that failed is written empty).
        *xml = session->resultText();
        if (r == 0) return 0;
        return lastError() ? lastError() : r;
    });
}

}  // extern "C"
