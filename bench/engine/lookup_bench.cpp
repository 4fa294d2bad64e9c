// getTexColor per shading point on the golden 4x4 quad grid (grid_rgba8.ptx):
// result-cache hits, and misses (a new key at every call, so every call filters)
// with the box and the bicubic filter, through the instance's own model and
// through the host's mesh interface, on one and two render threads. The Ptex
// cache is warm: a miss here is a miss of the result cache only. moving:1 gives
// every call its own ray time, as under motion blur, so that no face basis a
// thread kept from an earlier point holds as it is.
//
// allocs/call: heap allocations per getTexColor, counted per thread by this
// program's operator new (the plugin code is linked in, so it uses this one).
//
// bareEval: the filter calls those misses make, recorded once through the
// engine's filter factory hook, replayed straight into a filter of the same
// texture and options: a miss costs the lookup's share on top of this (the
// ratio of the two miss and bare figures).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "MeshFixture.h"
#include "plugin/Descriptors.h"
#include "plugin/LibEntry.h"
#include "plugin/TexFacet.h"
#include "zento/HostMesh.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

namespace {
thread_local long t_allocations = 0;

void* countedAllocate(std::size_t size) {
    ++t_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
    return countedAllocate(size);
}
void* operator new[](std::size_t size) {
    return countedAllocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace ZUtils;

constexpr int kPoints = 256;

// One recorded filter call.
struct EvalCall {
    int firstchan, nchannels, faceid;
    float u, v, uw1, vw1, uw2, vw2, width, blur;
};

// The filter calls a plugin's lookups make (recorded while `recording` is set).
struct Recording {
    PtexTexture* texture = nullptr;
    PtexFilter::Options options;
    std::vector<EvalCall> calls;
};
Recording* g_recording = nullptr;

class RecordingFilter : public PtexFilter {
public:
    RecordingFilter(PtexFilter* inner, Recording* rec) : inner_(inner), rec_(rec) {}
    void release() override {
        inner_->release();
        delete this;
    }
    void eval(float* result, int firstchan, int nchannels, int faceid, float u, float v, float uw1,
              float vw1, float uw2, float vw2, float width, float blur) override {
        rec_->calls.push_back(
            {firstchan, nchannels, faceid, u, v, uw1, vw1, uw2, vw2, width, blur});
        inner_->eval(result, firstchan, nchannels, faceid, u, v, uw1, vw1, uw2, vw2, width, blur);
    }

private:
    PtexFilter* inner_;
    Recording* rec_;
};

PtexFilter* recordingFactory(PtexTexture* texture, const PtexFilter::Options& options) {
    g_recording->texture = texture;
    g_recording->options = options;
    return new RecordingFilter(PtexFilter::getFilter(texture, options), g_recording);
}

std::string testdata(const std::string& rel) {
    return std::string(ZENTO_TESTDATA_DIR) + "/" + rel;
}

struct World {
    omtest::Polygons mesh;
    HostMesh host;
    ZentoRenderer renderer;
    Plugin* plugins[2][2] = {};  // [bicubic][own model]
    Plugin* recorders[2] = {};   // [bicubic], own model, filters that record their calls
    Recording recorded[2];
    std::vector<ShadeContext> points;
    bool ok = false;

    World() {
        const std::string ptx = testdata("ptex/grid_rgba8.ptx");
        if (!omtest::loadObj(testdata("mesh/grid4x4.obj"), mesh) || !std::ifstream(ptx).good())
            return;
        host.setPolygons(mesh.vertices.data(), int(mesh.vertices.size()), mesh.degrees.data(),
                         int(mesh.degrees.size()), mesh.indices.data(), int(mesh.indices.size()));
        renderer.getRenderSetup().threadCount = 2;
        for (int bicubic = 0; bicubic < 2; ++bicubic) {
            for (int own = 0; own < 3; ++own) {
                Plugin*& p = own == 2 ? recorders[bicubic] : plugins[bicubic][own];
                p = texFacetPluginDesc().newPlugin(nullptr);
                if (own == 2) {
                    g_recording = &recorded[bicubic];
                    static_cast<TexFacet*>(p)->setFilterFactory(recordingFactory);
                }
                ZentoParameterList& list = *static_cast<TexFacet*>(p)->getParameterList();
                list.getParam("ptex_file")->setString(ptx.c_str());
                list.getParam("filter_type")->setInt(bicubic ? 4 : 2);
                list.getParam("sharpness")->setFloat(0.5f);
                if (own != 0) {
                    list.getParam("vertices")
                        ->setVectorList(mesh.vertices.data(), int(mesh.vertices.size()));
                    list.getParam("origFaces")
                        ->setIntList(mesh.indices.data(), int(mesh.indices.size()));
                    list.getParam("origFacesDegree")
                        ->setIntList(mesh.degrees.data(), int(mesh.degrees.size()));
                    list.getParam("faces")->setIntList(host.triangleIndices(),
                                                       host.numTriangles() * 3);
                }
                static_cast<TexFacet*>(p)->renderBegin(&renderer);
                static_cast<TexFacet*>(p)->frameBegin(&renderer);
            }
        }
        unsigned seed = 12345;
        auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
        for (int i = 0; i < kPoints; ++i) {
            const int tri = int(next() % unsigned(host.numTriangles()));
            float b1 = float(next() % 1000) / 1000.0f, b2 = float(next() % 1000) / 1000.0f;
            if (b1 + b2 > 1.0f) b1 = 1.0f - b1, b2 = 1.0f - b2;
            ShadeContext sc;
            host.fillHit(sc, tri, b1, b2);
            sc.dPdx = sc.hitTriangleEdge1 * 0.02f;
            sc.dPdy = sc.hitTriangleEdge2 * 0.02f;
            sc.resultSlot = i;
            points.push_back(sc);
        }
        for (int bicubic = 0; bicubic < 2; ++bicubic) {
            g_recording = &recorded[bicubic];
            uint32_t key = 1;
            for (ShadeContext sc : points) {
                sc.resultKey = key++;
                static_cast<TexFacet*>(recorders[bicubic])->getTexColor(sc);
            }
        }
        g_recording = nullptr;
        ok = true;
    }
    ~World() {
        auto finish = [this](Plugin* p) {
            if (!p) return;
            static_cast<TexFacet*>(p)->frameEnd(&renderer);
            static_cast<TexFacet*>(p)->renderEnd(&renderer);
            texFacetPluginDesc().deletePlugin(p);
        };
        for (auto& row : plugins)
            for (Plugin* p : row) finish(p);
        for (Plugin* p : recorders) finish(p);
    }
};

World& world() {
    static World w;  // made once, by whichever thread comes first
    return w;
}

void getTexColor(benchmark::State& state) {
    const bool hit = state.range(0) != 0, moving = state.range(3) != 0;
    World& w = world();
    if (!w.ok) {
        state.SkipWithError("golden data not found under " ZENTO_TESTDATA_DIR);
        return;
    }
    TexFacet& tex = *static_cast<TexFacet*>(w.plugins[state.range(1)][state.range(2)]);
    std::vector<ShadeContext> points = w.points;
    uint32_t key = 1;
    for (ShadeContext& sc : points) {  // grows this thread's table and warms the Ptex cache
        sc.threadIndex = state.thread_index();
        sc.resultKey = key++;
        tex.getTexColor(sc);
    }
    const long before = t_allocations;
    int i = 0;
    for (auto _ : state) {
        ShadeContext& sc = points[size_t(i)];
        if (!hit) sc.resultKey = key++;
        if (moving) sc.rayTime = double(key) * 1e-4;
        AColor c = tex.getTexColor(sc);
        benchmark::DoNotOptimize(c);
        i = (i + 1) % kPoints;
    }
    state.counters["allocs/call"] =
        benchmark::Counter(double(t_allocations - before), benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations());
}

// The recorded filter calls of the misses above, into a filter of this thread's own.
void bareEval(benchmark::State& state) {
    World& w = world();
    const Recording& rec = w.recorded[state.range(0)];
    if (!w.ok || !rec.texture || rec.calls.empty()) {
        state.SkipWithError("golden data not found under " ZENTO_TESTDATA_DIR);
        return;
    }
    PtexFilter* filter = PtexFilter::getFilter(rec.texture, rec.options);
    float buffer[64];
    for (const EvalCall& c : rec.calls)  // warm, as the lookups were
        filter->eval(buffer, c.firstchan, c.nchannels, c.faceid, c.u, c.v, c.uw1, c.vw1, c.uw2,
                     c.vw2, c.width, c.blur);
    const long before = t_allocations;
    size_t i = 0;
    for (auto _ : state) {
        const EvalCall& c = rec.calls[i];
        filter->eval(buffer, c.firstchan, c.nchannels, c.faceid, c.u, c.v, c.uw1, c.vw1, c.uw2,
                     c.vw2, c.width, c.blur);
        benchmark::DoNotOptimize(buffer[0]);
        if (++i == rec.calls.size()) i = 0;
    }
    state.counters["allocs/call"] =
        benchmark::Counter(double(t_allocations - before), benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations());
    filter->release();
}

// calls > 0: every benchmark runs exactly that many calls per thread, so that two
// runs under callgrind differing only in the count give the instructions per call.
void registerBenchmarks(long calls) {
    auto* lookup = benchmark::RegisterBenchmark("getTexColor", getTexColor)
                       ->ArgNames({"hit", "bicubic", "own", "moving"})
                       ->Args({1, 0, 1, 0})
                       ->Args({0, 0, 1, 0})
                       ->Args({0, 1, 1, 0})
                       ->Args({1, 0, 0, 0})
                       ->Args({0, 0, 0, 0})
                       ->Args({0, 1, 0, 0})
                       ->Args({0, 0, 0, 1});
    auto* bare =
        benchmark::RegisterBenchmark("bareEval", bareEval)->ArgNames({"bicubic"})->Arg(0)->Arg(1);
    for (auto* b : {lookup, bare}) {
        b->Threads(1)->Threads(2)->UseRealTime();
        if (calls > 0) b->Iterations(calls);
    }
}

}  // namespace

// --calls=N (this program's own option) fixes the calls per benchmark; see
// bench/engine/lookup-instr, which counts instructions per call with it.
int main(int argc, char** argv) {
    long calls = 0;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--calls=", 8) == 0) {
            calls = std::atol(argv[i] + 8);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    registerBenchmarks(calls);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
