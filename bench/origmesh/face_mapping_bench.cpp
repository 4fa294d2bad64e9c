// Face mappings per second: a grid of quads and a strip of pentagons, through the own
// model and through the host's MeshInfoInterface (face-start table built once).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "origmesh/BuildMesh.h"
#include "origmesh/FaceMapping.h"
#include "origmesh/FaceStartTable.h"
#include "zento/HostMesh.h"
#include "zento/ZentoPluginParameter.h"

using ZUtils::Vector3f;

namespace {

struct Mesh {
    std::vector<Vector3f> vertices;
    std::vector<int> degrees, indices, triangles;
    int numPtex = 0;
};

Mesh quadGrid(int n) {
    Mesh m;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) m.vertices.push_back({float(i), float(j), 0});
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i;
            m.degrees.push_back(4);
            m.indices.insert(m.indices.end(), {a, a + 1, a + n + 2, a + n + 1});
        }
    }
    m.numPtex = n * n;
    return m;
}

Mesh pentagons(int n) {
    Mesh m;
    for (int f = 0; f < n; ++f) {
        for (int k = 0; k < 5; ++k) {
            const double a = 2 * M_PI * k / 5;
            m.indices.push_back(int(m.vertices.size()));
            m.vertices.push_back({float(3 * f + std::cos(a)), float(std::sin(a)), 0});
        }
        m.degrees.push_back(5);
    }
    m.numPtex = 5 * n;
    return m;
}

struct Fixture {
    Mesh mesh;
    ZUtils::HostMesh host;
    std::unique_ptr<OrigMeshInterface> model;
    FaceStartTable table;
    std::vector<FaceQuery> queries;

    explicit Fixture(Mesh m) : mesh(std::move(m)) {
        host.setPolygons(mesh.vertices.data(), int(mesh.vertices.size()), mesh.degrees.data(),
                         int(mesh.degrees.size()), mesh.indices.data(), int(mesh.indices.size()));
        ZUtils::ZentoPluginParameter v("vertices", ZUtils::TYPE_VECTOR),
            o("origFaces", ZUtils::TYPE_INT), d("origFacesDegree", ZUtils::TYPE_INT),
            f("faces", ZUtils::TYPE_INT);
        v.setVectorList(mesh.vertices.data(), int(mesh.vertices.size()));
        o.setIntList(mesh.indices.data(), int(mesh.indices.size()));
        d.setIntList(mesh.degrees.data(), int(mesh.degrees.size()));
        f.setIntList(host.triangleIndices(), 3 * host.numTriangles());
        model = buildOrigMesh(1, 0.0, &v, &o, &d, &f, 0);
        unsigned seed = 12345;
        for (int i = 0; i < 4096; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int t = int((seed >> 8) % unsigned(host.numTriangles()));
            const float b1 = float((seed >> 4) & 255) / 600.0f;
            const float b2 = float((seed >> 12) & 255) / 600.0f;
            const int* ti = host.triangleIndices() + 3 * t;
            const Vector3f v0 = mesh.vertices[size_t(ti[0])];
            const Vector3f p = v0 + (mesh.vertices[size_t(ti[1])] - v0) * b1 +
                               (mesh.vertices[size_t(ti[2])] - v0) * b2;
            queries.push_back({t, p, 1, mesh.numPtex});
        }
    }
};

void run(benchmark::State& state, Fixture& fx, bool viaHost) {
    size_t i = 0;
    FaceMapping r;
    for (auto _ : state) {
        const FaceQuery& q = fx.queries[i++ & 4095];
        if (viaHost) {
            const MeshSource src(fx.host, fx.table, 0.0, 0);
            benchmark::DoNotOptimize(mapToFace(src, q, r));
        } else {
            benchmark::DoNotOptimize(mapToFace(MeshSource(*fx.model, 0), q, r));
        }
        mapFootprint(r, {0.01f, 0, 0}, {0, 0.01f, 0});
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_QuadsOwnModel(benchmark::State& s) {
    static Fixture fx(quadGrid(100));
    run(s, fx, false);
}
void BM_QuadsHost(benchmark::State& s) {
    static Fixture fx(quadGrid(100));
    run(s, fx, true);
}
void BM_PentagonsOwnModel(benchmark::State& s) {
    static Fixture fx(pentagons(2000));
    run(s, fx, false);
}
void BM_PentagonsHost(benchmark::State& s) {
    static Fixture fx(pentagons(2000));
    run(s, fx, true);
}

BENCHMARK(BM_QuadsOwnModel);
BENCHMARK(BM_QuadsHost);
BENCHMARK(BM_PentagonsOwnModel);
BENCHMARK(BM_PentagonsHost);

}  // namespace

BENCHMARK_MAIN();
