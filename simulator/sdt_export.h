// Marks the driver entry points that the library exports; every other symbol stays hidden.
#pragma once

#if defined(_WIN32)
#define SDT_EXPORT __declspec(dllexport)
#else
#define SDT_EXPORT __attribute__((visibility("default")))
#endif
