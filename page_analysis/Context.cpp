#include "Context.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <new>
#include <vector>

#include "Ombra.h"
#include "Platform.h"
#include "Session.h"

namespace ombra {

namespace {

// Contexts of different threads may come and go at once; the lists are the
// only state they share besides the last-error code.
std::mutex g_registryLock;
std::vector<const void*>& contexts() {
    static std::vector<const void*> list;
    return list;
}
std::vector<const void*>& liveSessions() {
    static std::vector<const void*> list;
    return list;
}

bool add(std::vector<const void*>& list, const void* handle) {
    std::lock_guard<std::mutex> lock(g_registryLock);
    try {
        list.push_back(handle);
    } catch (...) {
        return false;
    }
    return true;
}

void remove(std::vector<const void*>& list, const void* handle) {
    std::lock_guard<std::mutex> lock(g_registryLock);
    list.erase(std::remove(list.begin(), list.end(), handle), list.end());
}

bool has(const std::vector<const void*>& list, const void* handle) {
    if (!handle) return false;
    std::lock_guard<std::mutex> lock(g_registryLock);
    return std::find(list.begin(), list.end(), handle) != list.end();
}

// Joins the folder (with its separator) and a file name; false when too long.
bool joinPath(char out[kPathChars], const char* folder, const char* file) {
    const int n = std::snprintf(out, kPathChars, "%s%s", folder, file);
    return n > 0 && n < kPathChars;
}

}  // namespace

bool registerContext(COmbraContext* c) { return add(contexts(), c); }
void unregisterContext(COmbraContext* c) { remove(contexts(), c); }
bool isContext(const void* h) { return has(contexts(), h); }
bool registerSession(COmbraSession* s) { return add(liveSessions(), s); }
void unregisterSession(COmbraSession* s) { remove(liveSessions(), s); }
bool isSession(const void* h) { return has(liveSessions(), h); }

COmbraContext::~COmbraContext() {
    for (int i = 0; i < sessions.count(); ++i) {
        unregisterSession(sessions.get(i));
        delete sessions.get(i);
    }
    sessions.clear();
    recognizer.unload();
    shaper.unload();
}

namespace {

// The recognizer finds its own files beside it: it is loaded, and its
// contexts are made, with the library's folder as the current directory. The
// previous one is back when this goes.
class InOwnFolder {
  public:
    InOwnFolder() : restore_(currentDirectory(previous_)) {
        ownDirectory(folder);
        if (folder[0]) setCurrentDirectory(folder);
    }
    ~InOwnFolder() {
        if (restore_) setCurrentDirectory(previous_);
    }
    InOwnFolder(const InOwnFolder&) = delete;
    InOwnFolder& operator=(const InOwnFolder&) = delete;

    char folder[kPathChars];

  private:
    char previous_[kPathChars];
    bool restore_;
};

}  // namespace

int COmbraContext::loadEngines() {
    InOwnFolder own;
    int result = 0;
    char path[kPathChars];
    if (joinPath(path, own.folder, "VexaScript.dll")) recognizer.load(path);
    if (recognizer.loaded() && recognizer.AddLexGeneratorToRecContext) {
        if (!joinPath(path, own.folder, "default.ban") || !recognizer.addLexGeneratorFile(path))
            result = OMBRA_ERR_ENGINE;
    }
    if (joinPath(path, own.folder, "VexaShape2.dll")) shaper.load(path);
    return result;
}

PSO_HRC COmbraContext::openRecognitionContext() {
    InOwnFolder own;
    return recognizer.openContext();
}

int COmbraContext::openSession(int flags, COmbraSession** out) {
    COmbraSession* session;
    int r;
    if (flags & (OMBRA_SESSION_SHAPES_ALIGN | OMBRA_SESSION_SHAPES)) {
        if (flags & OMBRA_SESSION_SHAPES) flags |= OMBRA_SESSION_FINALIZE;
        session = new (std::nothrow) CShaperSession(this, &recognizer, &shaper);
        if (!session) return OMBRA_ERR_MEMORY;
        r = session->init(flags);
    } else if (flags & OMBRA_SESSION_RECOGNIZER) {
        session = new (std::nothrow) CVexaScriptSession(this, &recognizer, &shaper);
        if (!session) return OMBRA_ERR_MEMORY;
        session->flags = flags;
        r = session->init(1);
    } else {
        session = new (std::nothrow) COmbraSession(this, &recognizer, &shaper);
        if (!session) return OMBRA_ERR_MEMORY;
        r = session->init(flags);
    }
    if (r) {
        delete session;
        return OMBRA_ERR_ARGUMENT;
    }
    if (!registerSession(session)) {
        delete session;
        return OMBRA_ERR_MEMORY;
    }
    // A session that cannot be listed is handed out all the same, but then the
    // context cannot close it: refuse it instead of leaking it.
    if (!sessions.append(session)) {
        unregisterSession(session);
        delete session;
        return OMBRA_ERR_MEMORY;
    }
    *out = session;
    return 0;
}

int COmbraContext::closeSession(COmbraSession* session) {
    const int i = sessions.indexOf(session);
    if (i < 0) return OMBRA_ERR_ARGUMENT;
    sessions.remove(i);
    unregisterSession(session);
    delete session;
    return 0;
}

}  // namespace ombra
