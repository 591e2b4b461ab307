// One live-preview step of the brightness dialog on a 4096 x 4096 bitmap
// object beside the brightness operation alone on the same pixels: the step
// copies the snapshot back and runs the operation band by band in one pass
// (no encode, no second full copy), so its time should stay within twice the
// operation's.
#include "brushes/BitmapPaintSession.h"
#include "document/CQuillfenEditorDoc.h"
#include "filters/EffectPreviewSession.h"
#include "platform/Codecs.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kSide = 4096;

BitmapPtr Picture() {
    BitmapPtr b = Bitmap::Create(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) b->SetPixel(x, y, 0xFF000000u | uint32_t((x ^ y) & 0xFF) * 0x010101u);
    return b;
}

void BM_BrightnessOperation(benchmark::State& state) {
    BitmapPtr b = Picture();
    float amount = 20;
    for (auto _ : state) {
        BrightnessMasked(b->Data(), kSide, kSide, b->Stride(), nullptr, 0, &amount);
        benchmark::DoNotOptimize(b->Data());
        amount = -amount;
    }
}
BENCHMARK(BM_BrightnessOperation)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PreviewStep(benchmark::State& state) {
    CQuillfenEditorDoc doc;
    CanvasObject o;
    o.id = "bmp";
    o.width = o.height = kSide;
    ImagePart part;
    part.id = "image_1";
    if (!EncodePng(*Picture(), part.encoded)) {
        state.SkipWithError("encode failed");
        return;
    }
    part.pixelWidth = part.pixelHeight = kSide;
    o.parts.push_back(std::move(part));
    Layer& layer = doc.mainScene.AddLayer();
    doc.mainScene.AddObjectToLayer(layer, o);
    doc.mainScene.SelectObject("bmp");
    EffectPreviewSession session;
    if (!session.Open(doc)) {
        state.SkipWithError("open failed");
        return;
    }
    const EffectPixelOps ops{BrightnessMasked, BrightnessPlain};
    float amount = 20;
    for (auto _ : state) {
        session.Apply(ops, &amount);
        amount = -amount;
    }
    session.Restore();
}
BENCHMARK(BM_PreviewStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same step drawn over an open paint session's display on a 4096 x 4096 canvas.
void BM_PaintSessionPreviewStep(benchmark::State& state) {
    CQuillfenEditorDoc doc;
    doc.mainScene.width = doc.mainScene.height = kSide;
    CanvasObject o;
    o.id = "bmp";
    o.width = o.height = kSide;
    ImagePart part;
    part.id = "image_1";
    if (!EncodePng(*Picture(), part.encoded)) {
        state.SkipWithError("encode failed");
        return;
    }
    part.pixelWidth = part.pixelHeight = kSide;
    o.parts.push_back(std::move(part));
    Layer& layer = doc.mainScene.AddLayer();
    doc.mainScene.AddObjectToLayer(layer, o);
    doc.mainScene.SelectObject("bmp");
    BitmapPaintSession paint;
    EffectPreviewSession session;
    if (!paint.Begin(doc, "bmp", false) || !session.Open(doc) || session.Mode() != kPreviewPaintSession) {
        state.SkipWithError("open failed");
        return;
    }
    const EffectPixelOps ops{BrightnessMasked, BrightnessPlain};
    float amount = 20;
    for (auto _ : state) {
        session.Apply(ops, &amount);
        amount = -amount;
    }
    session.Restore();
    paint.End();
}
BENCHMARK(BM_PaintSessionPreviewStep)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
