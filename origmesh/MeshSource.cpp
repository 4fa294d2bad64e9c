#include "origmesh/MeshSource.h"

MeshSource::MeshSource(const OrigMeshInterface& model, int reverse)
    : model_(&model),
      reverse_(reverse),
      numOrigFaces_(model.getNumOrigFaces()),
      numFaces_(model.getNumFaces()),
      numVertices_(model.getNumVertices()) {}

MeshSource::MeshSource(const ZUtils::MeshInfoInterface& host, FaceStartTable& table, double time,
                       int reverse)
    : host_(&host),
      table_(&table),
      time_(time),
      reverse_(reverse),
      numOrigFaces_(host.getNumOrigFaces(time)),
      numFaces_(host.getNumFaces(time)),
      numVertices_(host.getNumVertices(time)) {}
