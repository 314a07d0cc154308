// A picture on Linux: a Cairo image surface of 24-bit colour (CAIRO_FORMAT_RGB24).
#pragma once

#include <cairo.h>

#include <cstddef>

struct PictureState {
    cairo_surface_t* surface = nullptr;
};

// Takes over one reference of the surface; null when the surface is not usable.
PictureState* WrapSurface(cairo_surface_t* surface);

// Decodes image file bytes into a new surface; null when they cannot be decoded.
cairo_surface_t* DecodeImageToSurface(const unsigned char* bytes, std::size_t length);
