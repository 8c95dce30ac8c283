#include "RecContext.h"

#include <algorithm>

namespace vexa {

namespace {

constexpr size_t kMaxUserDicts = 64;

// Marker values of an ink point list (y as unsigned 16 bits).
constexpr int16_t kSeparator = -1;  // 0xFFFF
constexpr int16_t kFinish = -2;     // 0xFFFE
constexpr int16_t kLiveInk = -3;    // 0xFFFD

}  // namespace

bool RecContext::setLexicon(const void* bytes, size_t size) {
    std::string error;
    auto lex = loadLexicon(bytes, size, error);
    if (!lex) return false;
    lexicon_ = std::move(lex);
    return true;
}

UserDict* RecContext::addUserDict(const void* bytes, size_t size) {
    if (dicts_.size() >= kMaxUserDicts) return nullptr;
    auto dict = std::make_unique<UserDict>();
    std::string error;
    if (bytes && size > 0 && !dict->load(bytes, size, error)) return nullptr;
    dicts_.push_back(std::move(dict));
    return dicts_.back().get();
}

bool RecContext::ownsDict(const UserDict* d) const {
    return d && std::any_of(dicts_.begin(), dicts_.end(),
                            [d](const std::unique_ptr<UserDict>& p) { return p.get() == d; });
}

bool RecContext::removeUserDict(const UserDict* d) {
    auto it = std::find_if(dicts_.begin(), dicts_.end(),
                           [d](const std::unique_ptr<UserDict>& p) { return p.get() == d; });
    if (it == dicts_.end()) return false;
    dicts_.erase(it);
    return true;
}

bool RecContext::knows(const std::string& word) const {
    if (word.empty()) return false;
    if (lexicon_ && lexicon_->trie.contains(word)) return true;
    for (const auto& d : dicts_)
        if (d->contains(word)) return true;
    return false;
}

std::vector<std::pair<std::string, int>> RecContext::variants(const std::string& word,
                                                              size_t max) const {
    struct Found {
        int distance;
        int source;
        std::string text;
    };
    std::vector<Found> found;
    const int reach = word.size() <= 3 ? 1 : 2;
    auto collect = [&](const Trie& trie, int source) {
        std::vector<std::pair<int, std::string>> near;
        findNearWords(trie, word, reach, near, 400);
        for (auto& n : near)
            if (n.second != word) found.push_back({n.first, source, std::move(n.second)});
    };
    if (lexicon_) collect(lexicon_->trie, PSO_SOURCE_LEXICON);
    for (const auto& d : dicts_) collect(d->trie(), PSO_SOURCE_USER_DICT);
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.distance != b.distance) return a.distance < b.distance;
        if (a.source != b.source) return a.source > b.source;  // the user's own words first
        return a.text < b.text;
    });
    std::vector<std::pair<std::string, int>> out;
    for (const Found& f : found) {
        if (out.size() >= max) break;
        if (std::none_of(out.begin(), out.end(), [&](const auto& o) { return o.first == f.text; }))
            out.push_back({f.text, f.source});
    }
    return out;
}

int32_t RecContext::start(uint32_t flags) {
    open_ = true;
    recognized_ = false;
    flags_ = flags;
    extraFlags_ = 0;
    progress_ = nullptr;
    userData_ = 0;
    hasGuide_ = false;
    strokes_.clear();
    points_ = 0;
    answers_.clear();
    return PSO_OK;
}

int32_t RecContext::setExtra(int32_t kind, intptr_t value) {
    switch (kind) {
        case PSO_EXTRA_FLAGS:
            extraFlags_ = static_cast<uint32_t>(value);
            return PSO_OK;
        case PSO_EXTRA_PROGRESS:
            progress_ = reinterpret_cast<PSO_PROGRESS_CALLBACK>(value);
            return PSO_OK;
        case PSO_EXTRA_GUIDE: {
            const PSO_GUIDE* g = reinterpret_cast<const PSO_GUIDE*>(value);
            if (!g || g->size != static_cast<int32_t>(sizeof(PSO_GUIDE)) || g->width <= 0 ||
                g->height <= 0)
                return PSO_ERR_BAD_ARG;
            guide_.left = static_cast<float>(g->left);
            guide_.top = static_cast<float>(g->top);
            guide_.width = static_cast<float>(g->width);
            guide_.height = static_cast<float>(g->height);
            guide_.sixth = g->sixth > 0 && g->sixth < g->height ? static_cast<float>(g->sixth) : 0;
            hasGuide_ = true;
            return PSO_OK;
        }
        case PSO_EXTRA_USER_DATA:
            userData_ = value;
            return PSO_OK;
        default:
            return PSO_ERR_NOT_SUPPORTED;
    }
}

int32_t RecContext::addInk(const PSO_POINT* points, int32_t count, int32_t* strokesAdded) {
    if (strokesAdded) *strokesAdded = 0;
    if (!open_) return PSO_ERR_FAILED;
    std::vector<std::vector<PSO_POINT>> added(1);
    size_t taken = 0;
    for (int32_t i = 0; i < count; ++i) {
        const PSO_POINT p = points[i];
        if (p.y == kLiveInk) continue;
        if (p.y == kSeparator || p.y == kFinish) {
            if (!added.back().empty()) added.emplace_back();
            continue;
        }
        added.back().push_back(p);
        ++taken;
    }
    if (added.back().empty()) added.pop_back();
    if (added.empty()) return PSO_ERR_FAILED;
    if (strokes_.size() + added.size() > PSO_MAX_SESSION_STROKES ||
        points_ + taken > PSO_MAX_SESSION_POINTS)
        return PSO_ERR_FAILED;
    for (auto& s : added) strokes_.push_back(std::move(s));
    points_ += taken;
    recognized_ = false;
    answers_.clear();
    if (strokesAdded) *strokesAdded = static_cast<int32_t>(added.size());
    return PSO_OK;
}

int32_t RecContext::recognizeNow() {
    if (!open_) return PSO_ERR_FAILED;
    if (recognized_) return PSO_OK;
    std::vector<Polyline> ink;
    ink.reserve(strokes_.size());
    for (const auto& s : strokes_) {
        Polyline line;
        line.reserve(s.size());
        for (const PSO_POINT& p : s)
            line.push_back({static_cast<float>(p.x), static_cast<float>(p.y)});
        ink.push_back(std::move(line));
    }
    RecSettings settings;
    settings.flags = flags_ | extraFlags_;
    settings.hasGuide = hasGuide_;
    settings.guide = guide_;
    settings.lexicon = lexicon_;
    for (const auto& d : dicts_) settings.userDicts.push_back(d.get());
    if (progress_) {
        const PSO_PROGRESS_CALLBACK callback = progress_;
        const intptr_t user = userData_;
        settings.progress = [callback, user](int done, int total) {
            PSO_PROGRESS record{static_cast<int32_t>(sizeof(PSO_PROGRESS)), done, total, user};
            return callback(&record) == 0;
        };
    }
    bool cancelled = false;
    answers_ = recognize(ink, settings, cancelled);
    if (cancelled) {
        answers_.clear();
        return PSO_ERR_CANCELLED;
    }
    recognized_ = true;
    return PSO_OK;
}

int32_t RecContext::end() {
    if (!open_) return PSO_ERR_FAILED;
    const int32_t result = recognizeNow();
    open_ = false;
    return result;
}

}  // namespace vexa
