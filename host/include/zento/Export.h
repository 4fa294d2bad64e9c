// Symbol export control of the host library `zento`.
//
// ZENTO_API marks the classes and functions that libzento exports. Everything
// else in the library stays hidden. Code that only includes these headers
// (plugins, host programs) sees the same declarations; classes without the
// mark are compiled into each module that uses them.
#pragma once

#define ZENTO_API __attribute__((visibility("default")))
