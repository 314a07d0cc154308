// Marks the exports of the plain stand-in libraries; every other symbol stays hidden.
#pragma once

#if defined(_WIN32)
#define PLAIN_EXPORT __declspec(dllexport)
#else
#define PLAIN_EXPORT __attribute__((visibility("default")))
#endif
