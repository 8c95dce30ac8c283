// The recognition session of one writing on a recognition profile.
//
// The recognition thread adds a writing's strokes one by one while the main
// thread may reload the profiles of the same module in between (the profile
// editor, a changed dictionary), which deletes the profile objects and makes
// new ones. So the session never keeps a profile across calls: each step
// takes the module's profile lock, finds the profile again by its name and
// works on it within that lock. When the profile found has no open session
// (it was made anew meanwhile), the session is opened on it again and the ink
// given so far is added again, so the writing is still recognized whole. The
// lock is held for one step only, never while the thread waits for the next
// stroke, so the main thread waits at most for one step.
#pragma once

#include <string>
#include <vector>

#include "ink/InkPointList.h"

class RecModule;
class RecProfile;
class RecWordList;

class WritingSession {
  public:
    WritingSession() = default;
    ~WritingSession();
    WritingSession(const WritingSession&) = delete;
    WritingSession& operator=(const WritingSession&) = delete;

    // Opens a session on the profile for input of the recognizer manager's
    // current module (the pending choice, else "#sys-default", else the
    // module's default). False without a module or a profile, or when the
    // engine refuses the session.
    bool beginForInput();
    // Opens a session on the profile `name` of `module`.
    bool begin(RecModule* module, const wchar_t* name);

    bool isOpen() const { return open_; }
    // The profile the session runs on, and its "addSpaceAfter" when it opened.
    const std::wstring& profileName() const { return name_; }
    bool addSpaceAfter() const { return spaceAfter_; }

    // Adds one stroke: ink point list entries in quarter pixels with their
    // separator. False when the session is not open or the engine refuses.
    bool addInk(const InkPoint* points, int count);
    // Ends the session and takes its answers: a new list, or null when the
    // session was not open, could not end, or gave no answers.
    RecWordList* finish();
    // Ends an open session and forgets it.
    void abandon();

  private:
    // Opens `profile` (found under the module's lock, which the caller holds).
    bool open(RecProfile* profile);
    // The session's profile now (the caller holds the module's lock): the
    // one of that name, else the module's default; reopened when it has no
    // open session any more. Null when the module has no profile left.
    RecProfile* current();
    void reset();

    RecModule* module_ = nullptr;
    std::wstring name_;
    bool open_ = false;
    bool spaceAfter_ = false;
    std::vector<InkPoint> ink_;  // every stroke added, for a reopened session
};
