// The engines as the page analysis meets them on the host: a loader behind the
// library's seam that hands out the linked recognizer and shape recognizer
// cores by file name, with knobs that take an engine or one of its entries
// away, and a temporary folder that plays the library's own folder.
#pragma once

#include <map>
#include <set>
#include <string>

namespace engines {

struct Knobs {
    bool recognizer = true;
    bool shaper = true;
    bool lexicon = true;            // "default.ban" beside the library
    bool emptyLexicon = false;      // a "default.ban" of no bytes
    bool nullRecContext = false;    // the recognizer gives no context
    std::set<std::string> missing;  // entries the libraries lack
    int shapelessPasses = 0;        // this many first shapers give no shape
    // Entries handed out in place of the engines' own (a test's wrappers).
    std::map<std::string, void (*)()> replaced;
};

// Installs the loader and the library folder for the scope of the object.
class Scope {
  public:
    explicit Scope(const Knobs& knobs = Knobs());
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    const std::string& folder() const { return folder_; }
    // Modules loaded and not yet freed.
    static int liveModules();

  private:
    std::string folder_;
};

}  // namespace engines
