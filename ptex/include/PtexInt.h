#ifndef PtexInt_h
#define PtexInt_h
// Fixed-width integer types used by the Ptex interfaces (int8_t .. uint64_t).
#include <cstddef>
#include <cstdint>
#endif
