#include "filters/ui/EffectParamsViews.h"

#include "filters/EffectInstance.h"

#include <gtest/gtest.h>

namespace {

IEffectParamsView* FakeView(QWidget*, int childId) { return reinterpret_cast<IEffectParamsView*>(intptr_t(childId)); }

TEST(EffectParamsViews, FactoriesAreKeyedByTypeAndUnknownTypesHaveNone) {
    EXPECT_EQ(FindEffectViewFactory(kEffectInvert), nullptr);
    EXPECT_EQ(CreateEffectParamsView(kEffectInvert, nullptr, 7), nullptr);

    // The table is the process's: other tests may have filled it with the
    // real views, so this one compares with what it found and puts it back.
    const EffectCreateViewFn glow = FindEffectViewFactory(kEffectGlow);
    const EffectCreateViewFn innerGlow = FindEffectViewFactory(kEffectInnerGlow);
    SetEffectViewFactory(kEffectGlow, FakeView);
    SetEffectViewFactory(200, FakeView);  // no registry row: ignored
    EXPECT_EQ(FindEffectViewFactory(kEffectGlow), &FakeView);
    EXPECT_EQ(FindEffectViewFactory(kEffectInnerGlow), innerGlow);
    EXPECT_EQ(FindEffectViewFactory(200), nullptr);
    EXPECT_EQ(CreateEffectParamsView(kEffectGlow, nullptr, 1001), reinterpret_cast<IEffectParamsView*>(1001));
    SetEffectViewFactory(kEffectGlow, nullptr);
    EXPECT_EQ(FindEffectViewFactory(kEffectGlow), nullptr);
    SetEffectViewFactory(kEffectGlow, glow);
}

}  // namespace
