// ZUtils::checkAssetPath: find an asset file (texture, image list) by name.
//
// checkAssetPath(path, size, progress, reportMissing):
//  - true when `path` names a readable file as it stands (path unchanged), or
//    when a file of that name is found in one of the asset search paths: the
//    relative path is tried below each search directory, then its last
//    component; the first hit is written over `path` when it fits in `size`
//    bytes with its NUL (a hit that does not fit is skipped).
//  - false otherwise; `path` is then left exactly as it was.
//  - with reportMissing set, a miss is reported through progress->warning
//    ("Asset not found: %s"); probing callers pass false.
//  - null path or size <= 0: false, nothing touched.
// The search path list is process-wide and guarded by a lock; it is meant to
// be set up before rendering.
#pragma once

#include "zento/Export.h"

namespace ZUtils {

class ProgressCallback;

ZENTO_API bool checkAssetPath(char* path, int size, ProgressCallback* progress, bool reportMissing);

ZENTO_API void addAssetSearchPath(const char* directory);
ZENTO_API void clearAssetSearchPaths();
ZENTO_API int numAssetSearchPaths();

}  // namespace ZUtils
