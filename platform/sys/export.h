// Marks a module entry point: C linkage and visible from the shared library. Everything else in
// the modules is hidden.
#pragma once

#define MC_EXPORT extern "C" __attribute__((visibility("default")))
