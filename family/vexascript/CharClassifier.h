// Classifies a group of strokes as a character: a quick gate picks the
// likely forms from a coarse picture of the ink, then each picked form is
// matched elastically, stroke by stroke (dynamic time warping, with the best
// pairing of strokes and either writing direction), and the group's place on
// its writing line is compared with the form's (size, ascender, descender).
#ifndef SCRIBIX_VEXASCRIPT_CHARCLASSIFIER_H
#define SCRIBIX_VEXASCRIPT_CHARCLASSIFIER_H

#include <array>
#include <limits>
#include <vector>

#include "CharForms.h"
#include "Geometry.h"

namespace vexa {

constexpr float kNoCost = std::numeric_limits<float>::infinity();

// The writing line under a group of ink: baseline y = base + slope * (x - x0)
// and the x-height, in ink units (y downwards). `weight` scales how much the
// group's place on the line counts.
struct Frame {
    float base = 0, slope = 0, x0 = 0;
    float xHeight = 1;
    float weight = 1;
    float baselineAt(float x) const { return base + slope * (x - x0); }
};

// Ink reduced to what matching needs.
struct ShapeFeatures {
    std::vector<std::vector<Pt>> pts;   // per stroke, centred on the box, scaled to unit size
    std::vector<std::vector<Pt>> dirs;  // unit tangents
    std::vector<float> share;           // each stroke's share of the ink's length
    std::vector<Pt> cloud;              // all strokes, about 32 points
    std::array<float, 64> gate{};       // 4 x 4 cells x 4 orientations, sums to 1
    Box box;                            // of the ink, in its own units
};

// How the gate works for a session (session flags).
enum class GateMode { Normal, Wide, Off };

class CharClassifier {
  public:
    static const CharClassifier& instance();

    size_t formCount() const { return forms_.size(); }
    const CharForm& form(size_t i) const { return forms_[i]; }
    size_t classCount() const { return classes_.size(); }
    unsigned char classChar(size_t c) const { return classes_[c]; }
    int classOf(unsigned char ch) const { return classIndex_[ch]; }
    const std::vector<int>& formsOf(size_t cls) const { return classForms_[cls]; }
    int classOfForm(size_t f) const { return formClass_[f]; }
    size_t joinedStrokeCount(size_t f) const { return joinedFeatures_[f].pts.size(); }

    // Features of ink; `minScale` keeps tiny marks tiny (a dot is not blown up
    // to the size of a letter).
    static ShapeFeatures features(const std::vector<Polyline>& strokes, float minScale);

    // Strokes run together where one ends about where another begins (a pen
    // lifted at a corner and set down again, or not lifted): the same
    // letter written with more or fewer strokes comes out the same.
    static std::vector<Polyline> joinTouching(const std::vector<Polyline>& strokes);

    float gateDistance(const ShapeFeatures& s, size_t form) const;
    float elasticDistance(const ShapeFeatures& s, size_t form) const;
    // The same over the strokes run together (`s` from joinTouching ink).
    float joinedDistance(const ShapeFeatures& s, size_t form) const;
    // How far the ink's box lies from the form's place on the writing line.
    float frameDistance(const Box& ink, const Frame& frame, size_t form) const;

  private:
    CharClassifier();

    std::vector<CharForm> forms_;
    std::vector<ShapeFeatures> formFeatures_;
    std::vector<ShapeFeatures> joinedFeatures_;  // per form, its strokes run together
    std::vector<unsigned char> classes_;
    std::array<int, 256> classIndex_;
    std::vector<std::vector<int>> classForms_;
    std::vector<int> formClass_;
};

// The costs of one group of strokes against the characters, computed when
// first asked for and kept. Cost: 0 for a perfect fit, about 1 for a poor one.
class GroupScorer {
  public:
    GroupScorer(const std::vector<Polyline>& strokes, float minScale, GateMode gate);

    // Cost of the character class on `frame` (frame index `fi` of at most 4
    // used with this group); kNoCost when the gate rules the class out, unless
    // `pastGate` (a user's own word is always matched in full).
    float classCost(int cls, const Frame& frame, int fi, bool pastGate = false);
    // The best classes (allowed by `allowed`, indexed by class), best first.
    void best(const Frame& frame, int fi, const std::vector<bool>& allowed, size_t count,
              std::vector<std::pair<float, int>>& out);

  private:
    float formShape(size_t form);
    void gateAll();

    ShapeFeatures features_;  // its box is the group's box, its pts one run per stroke
    ShapeFeatures joined_;    // the strokes run together (empty when none touch)
    GateMode gateMode_;
    bool gated_ = false;
    float bestGate_ = kNoCost;
    std::vector<float> gate_;                      // per form
    std::vector<float> classGate_;                 // per class: best gate distance of its forms
    std::vector<int> byGate_;                      // classes by gate distance, best first
    std::vector<size_t> classRank_;                // per class: its place in byGate_
    std::vector<float> shape_;                     // per form, NaN until computed
    std::vector<float> joinedShape_;               // per form, over joined_
    std::array<std::vector<float>, 4> classCost_;  // per frame index, NaN until computed
};

}  // namespace vexa

#endif
