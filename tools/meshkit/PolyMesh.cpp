#include "PolyMesh.h"

#include <Ptexture.h>
#include <tiny_obj_loader.h>

#include <cstdint>
#include <fstream>

bool PolyMesh::allTriangles() const {
    for (int c : counts) {
        if (c != 3) return false;
    }
    return !counts.empty();
}

std::vector<int> PolyMesh::polygonStarts() const {
    std::vector<int> starts(counts.size());
    int start = 0;
    for (size_t f = 0; f < counts.size(); ++f) {
        starts[f] = start;
        start += counts[f];
    }
    return starts;
}

std::string validateMesh(const PolyMesh& mesh) {
    if (mesh.positions.size() % 3 != 0) return "vertex positions are not x, y, z triples";
    if (mesh.counts.empty()) return "the mesh has no polygons";
    int64_t used = 0;
    for (size_t f = 0; f < mesh.counts.size(); ++f) {
        if (mesh.counts[f] < 3) {
            return "polygon " + std::to_string(f) + " has " + std::to_string(mesh.counts[f]) +
                   " corners (at least 3 needed)";
        }
        used += mesh.counts[f];
        if (used > int64_t(mesh.indices.size())) {
            return "the polygon corner counts need more vertex indices than the mesh has";
        }
    }
    if (used != int64_t(mesh.indices.size())) {
        return "the mesh has more vertex indices than its polygon corner counts use";
    }
    const int nv = mesh.numVertices();
    for (size_t i = 0; i < mesh.indices.size(); ++i) {
        if (mesh.indices[i] < 0 || mesh.indices[i] >= nv) {
            return "vertex index " + std::to_string(mesh.indices[i]) + " out of range (" +
                   std::to_string(nv) + " vertices)";
        }
    }
    return {};
}

bool loadObjMesh(const std::string& path, PolyMesh& mesh, std::string& error) {
    mesh = PolyMesh{};
    {
        std::ifstream probe(path);
        if (!probe) {
            error = "cannot open mesh file: " + path;
            return false;
        }
    }
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    config.vertex_color = false;
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(path, config)) {
        error = "cannot read OBJ mesh " + path + ": " + reader.Error();
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
        return false;
    }
    const tinyobj::attrib_t& attrib = reader.GetAttrib();
    mesh.positions.assign(attrib.vertices.begin(), attrib.vertices.end());
    for (const tinyobj::shape_t& shape : reader.GetShapes()) {
        size_t offset = 0;
        for (unsigned char n : shape.mesh.num_face_vertices) {
            mesh.counts.push_back(int(n));
            for (unsigned k = 0; k < n; ++k) {
                mesh.indices.push_back(shape.mesh.indices[offset + k].vertex_index);
            }
            offset += n;
        }
    }
    if (mesh.counts.empty()) {
        error = "OBJ mesh " + path + " has no polygons";
        return false;
    }
    const std::string problem = validateMesh(mesh);
    if (!problem.empty()) {
        error = "bad OBJ mesh " + path + ": " + problem;
        return false;
    }
    return true;
}

namespace {

// Releases a Ptex object on scope exit.
template <class T>
struct Released {
    T* p;
    ~Released() {
        if (p) p->release();
    }
};

std::string oneLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return text;
}

// Keeps the reader's first error: a damaged file then says what is wrong with
// it rather than that its metadata is missing.
struct FirstError : PtexErrorHandler {
    std::string text;
    void reportError(const char* message) override {
        if (text.empty() && message) text = oneLine(message);
    }
};

}  // namespace

bool loadPtxMesh(const std::string& path, PolyMesh& mesh, std::string& error) {
    mesh = PolyMesh{};
    FirstError readError;
    Released<PtexCache> cache{PtexCache::create(1, 0, false, nullptr, &readError)};
    Ptex::String ptexError;
    Released<PtexTexture> tex{cache.p ? cache.p->get(path.c_str(), ptexError) : nullptr};
    if (!tex.p) {
        error = oneLine(readError.text.empty() ? std::string(ptexError) : readError.text);
        return false;
    }
    auto damaged = [&] {
        if (readError.text.empty()) return false;
        error = "cannot read the mesh of " + path + ": " + readError.text;
        return true;
    };
    Released<PtexMetaData> meta{tex.p->getMetaData()};
    if (damaged()) return false;
    const char* keys[3] = {"PtexFaceVertCounts", "PtexFaceVertIndices", "PtexVertPositions"};
    Ptex::MetaDataType want[3] = {Ptex::mdt_int32, Ptex::mdt_int32, Ptex::mdt_float};
    for (int k = 0; k < 3; ++k) {
        int index = 0;
        Ptex::MetaDataType type{};
        if (!meta.p || !meta.p->findKey(keys[k], index, type) || type != want[k]) {
            error = path + " carries no mesh (metadata " + keys[k] +
                    (meta.p && meta.p->findKey(keys[k], index, type) ? " has the wrong type)"
                                                                     : " missing)");
            return false;
        }
    }
    const int32_t* counts = nullptr;
    const int32_t* indices = nullptr;
    const float* positions = nullptr;
    int ncounts = 0, nindices = 0, npositions = 0;
    meta.p->getValue(keys[0], counts, ncounts);
    meta.p->getValue(keys[1], indices, nindices);
    meta.p->getValue(keys[2], positions, npositions);
    if (damaged()) return false;  // large entries are read on request
    if (!counts || !indices || !positions || ncounts <= 0 || nindices <= 0 || npositions <= 0) {
        error = path + " carries no mesh (empty mesh metadata)";
        return false;
    }
    mesh.counts.assign(counts, counts + ncounts);
    mesh.indices.assign(indices, indices + nindices);
    mesh.positions.assign(positions, positions + npositions);
    const std::string problem = validateMesh(mesh);
    if (!problem.empty()) {
        error = "bad mesh metadata in " + path + ": " + problem;
        mesh = PolyMesh{};
        return false;
    }
    return true;
}

bool readPtexFaceCount(const std::string& path, int& faces, Ptex::MeshType& type) {
    FirstError quiet;
    Released<PtexCache> cache{PtexCache::create(1, 0, false, nullptr, &quiet)};
    Ptex::String error;
    Released<PtexTexture> tex{cache.p ? cache.p->get(path.c_str(), error) : nullptr};
    if (!tex.p) return false;
    faces = tex.p->numFaces();
    type = tex.p->meshType();
    return true;
}
