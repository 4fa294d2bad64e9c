#ifndef PtexExports_h
#define PtexExports_h
// Symbol visibility of the Ptex library. The library is built static; PTEXAPI marks
// the public entry points so a shared build could export exactly them.
#if defined(_WIN32)
#define PTEXAPI
#else
#define PTEXAPI __attribute__((visibility("default")))
#endif
#endif
