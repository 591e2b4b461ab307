#include "filters/ui/EffectParamsViews.h"

#include "filters/EffectInstance.h"

#include <gtest/gtest.h>

namespace {

IEffectParamsView* FakeView(QWidget*, int childId) { return reinterpret_cast<IEffectParamsView*>(intptr_t(childId)); }

TEST(EffectParamsViews, FactoriesAreKeyedByTypeAndUnknownTypesHaveNone) {
    EXPECT_EQ(FindEffectViewFactory(kEffectInvert), nullptr);
    EXPECT_EQ(CreateEffectParamsView(kEffectInvert, nullptr, 7), nullptr);

    SetEffectViewFactory(kEffectGlow, FakeView);
    SetEffectViewFactory(200, FakeView);  // no registry row: ignored
    EXPECT_EQ(FindEffectViewFactory(kEffectGlow), &FakeView);
    EXPECT_EQ(FindEffectViewFactory(kEffectInnerGlow), nullptr);
    EXPECT_EQ(FindEffectViewFactory(200), nullptr);
    EXPECT_EQ(CreateEffectParamsView(kEffectGlow, nullptr, 1001), reinterpret_cast<IEffectParamsView*>(1001));
    SetEffectViewFactory(kEffectGlow, nullptr);
    EXPECT_EQ(FindEffectViewFactory(kEffectGlow), nullptr);
}

}  // namespace
