// The common root class: class names and the is-kind-of test by name.
#include <gtest/gtest.h>

#include "core/VexaSuper.h"

namespace {

class LocalClient : public VexaSuper {
    VEXA_CLASS(LocalClient, VexaSuper)
};
class SystemClient : public LocalClient {
    VEXA_CLASS(SystemClient, LocalClient)
};
class InkBlotClient : public LocalClient {
    VEXA_CLASS(InkBlotClient, LocalClient)
};

struct KindCase {
    const wchar_t* name;
    int systemClient, inkBlotClient, root;
};

TEST(VexaSuper, IsKindOfWalksUpTheBases) {
    const SystemClient system;
    const InkBlotClient blot;
    const VexaSuper root;
    const KindCase cases[] = {
        {L"SystemClient", 1, 0, 0},
        {L"LocalClient", 1, 1, 0},
        {L"VexaSuper", 1, 1, 1},
        {L"InkBlotClient", 0, 1, 0},
        {L"localclient", 0, 0, 0},
        {L"LocalClient ", 0, 0, 0},
        {L"", 0, 0, 0},
        {nullptr, 0, 0, 0},
    };
    for (const KindCase& c : cases) {
        const VexaSuper& asRoot = system;
        EXPECT_EQ(asRoot.isKindOf(c.name), c.systemClient) << (c.name ? c.name : L"(null)");
        EXPECT_EQ(blot.isKindOf(c.name), c.inkBlotClient) << (c.name ? c.name : L"(null)");
        EXPECT_EQ(root.isKindOf(c.name), c.root) << (c.name ? c.name : L"(null)");
    }
}

TEST(VexaSuper, ClassNameIsTheMostDerivedOne) {
    const SystemClient system;
    const VexaSuper& asRoot = system;
    EXPECT_STREQ(asRoot.className(), L"SystemClient");
    EXPECT_STREQ(VexaSuper().className(), L"VexaSuper");
}

TEST(VexaSuper, DeletedThroughTheRoot) {
    static int destroyed = 0;
    struct Counted : SystemClient {
        ~Counted() override { ++destroyed; }
    };
    VexaSuper* object = new Counted;
    delete object;
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
