#include "ink/WritingSession.h"

#include <new>

#include "recognition/RecWordList.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "core/Trace.h"

static_assert(sizeof(InkPoint) == sizeof(PSO_POINT), "ink points go to the engine as they are");

namespace {

const PSO_POINT* asEnginePoints(const InkPoint* points) {
    return reinterpret_cast<const PSO_POINT*>(points);
}

}  // namespace

WritingSession::~WritingSession() { abandon(); }

void WritingSession::reset() {
    module_ = nullptr;
    name_.clear();
    open_ = false;
    spaceAfter_ = false;
    ink_.clear();
}

bool WritingSession::open(RecProfile* profile) {
    name_ = profile->name;
    spaceAfter_ = profile->addSpaceAfter;
    open_ = profile->startSession(0);
    if (!open_) debugTrace(L"WritingSession: the profile %s opens no session\n", name_.c_str());
    return open_;
}

bool WritingSession::beginForInput() {
    abandon();
    RecMgr& manager = getRecMgr();
    RecModule* module = manager.getCurrentModule();
    if (!module) return false;
    RecModule::ProfileLock lock = module->lockProfiles();
    RecProfile* profile = manager.getProfileForInput();
    // The UI thread may have switched the language since the module was taken.
    if (!profile || profile->module() != module) return false;
    module_ = module;
    return open(profile);
}

bool WritingSession::begin(RecModule* module, const wchar_t* name) {
    abandon();
    if (!module || !name) return false;
    RecModule::ProfileLock lock = module->lockProfiles();
    RecProfile* profile = module->findProfile(name);
    if (!profile) return false;
    module_ = module;
    return open(profile);
}

RecProfile* WritingSession::current() {
    RecProfile* profile = module_->findProfile(name_.c_str());
    if (!profile) profile = module_->getDefaultProfile();
    if (!profile) return nullptr;
    if (profile->isSessionOpen() && profile->name == name_) return profile;
    // Made anew while the writing went on: the session starts again on it with
    // the ink it already had.
    debugTrace(L"WritingSession: the profile %s was reloaded, the session starts again\n",
               profile->name.c_str());
    name_ = profile->name;
    if (!profile->startSession(0)) return nullptr;
    if (!ink_.empty() &&
        !profile->addInk(asEnginePoints(ink_.data()), static_cast<int>(ink_.size())))
        return nullptr;
    return profile;
}

bool WritingSession::addInk(const InkPoint* points, int count) {
    if (!open_ || !points || count <= 0) return false;
    RecModule::ProfileLock lock = module_->lockProfiles();
    RecProfile* profile = current();
    if (!profile) {
        open_ = false;
        return false;
    }
    if (!profile->addInk(asEnginePoints(points), count)) return false;
    try {
        ink_.insert(ink_.end(), points, points + count);
    } catch (const std::bad_alloc&) {
        // The stroke is in the session; only a reopened session would lack it.
        debugTrace(L"WritingSession: no memory to keep a stroke\n");
    }
    return true;
}

RecWordList* WritingSession::finish() {
    if (!open_) {
        reset();
        return nullptr;
    }
    RecWordList* answers = nullptr;
    {
        RecModule::ProfileLock lock = module_->lockProfiles();
        RecProfile* profile = current();
        if (profile && profile->endSession()) answers = profile->getAnswers(false);
    }
    reset();
    return answers;
}

void WritingSession::abandon() {
    if (open_) {
        RecModule::ProfileLock lock = module_->lockProfiles();
        RecProfile* profile = module_->findProfile(name_.c_str());
        if (profile && profile->isSessionOpen()) profile->endSession();
    }
    reset();
}
