#ifndef PtexVersion_h
#define PtexVersion_h
// Version numbers of the Ptex interface, of the file format and of this library.
#define PtexAPIVersion 4
#define PtexFileMajorVersion 1
#define PtexFileMinorVersion 4
#define PtexLibraryMajorVersion 2
#define PtexLibraryMinorVersion 4
#endif
