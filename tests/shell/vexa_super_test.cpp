// The common root class: class names and the is-kind-of test by name, with a
// chain of classes of the test's own (the program's classes answer in
// program_classes_test.cpp).
#include <gtest/gtest.h>

#include "core/VexaSuper.h"

namespace {

class Shape : public VexaSuper {
    VEXA_CLASS(Shape, VexaSuper)
};
class Polygon : public Shape {
    VEXA_CLASS(Polygon, Shape)
};
class Ellipse : public Shape {
    VEXA_CLASS(Ellipse, Shape)
};

TEST(VexaSuper, IsKindOfWalksUpTheBasesByExactName) {
    const Polygon polygon;
    const Ellipse ellipse;
    const VexaSuper root;
    const struct {
        const wchar_t* name;
        int polygon, ellipse, root;
    } cases[] = {
        {L"Polygon", 1, 0, 0}, {L"Shape", 1, 1, 0},  {L"VexaSuper", 1, 1, 1}, {L"Ellipse", 0, 1, 0},
        {L"shape", 0, 0, 0},   {L"Shape ", 0, 0, 0}, {L"", 0, 0, 0},          {nullptr, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const VexaSuper& asRoot = polygon;
        EXPECT_EQ(asRoot.isKindOf(c.name), c.polygon) << (c.name ? c.name : L"(null)");
        EXPECT_EQ(ellipse.isKindOf(c.name), c.ellipse) << (c.name ? c.name : L"(null)");
        EXPECT_EQ(root.isKindOf(c.name), c.root) << (c.name ? c.name : L"(null)");
    }
}

TEST(VexaSuper, ClassNameIsTheMostDerivedOne) {
    const Polygon polygon;
    const VexaSuper& asRoot = polygon;
    EXPECT_STREQ(asRoot.className(), L"Polygon");
    EXPECT_STREQ(VexaSuper().className(), L"VexaSuper");
}

TEST(VexaSuper, DeletedThroughTheRoot) {
    static int destroyed = 0;
    struct Counted : Polygon {
        ~Counted() override { ++destroyed; }
    };
    VexaSuper* object = new Counted;
    delete object;
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
