#pragma once
// Pictures from the program's resources, made to fit the room a dialog gives them.

#include <windows.h>

#include "framework/win32/gdi.h"

// Bitmap resource id, a 24-bit image, scaled to width by height pixels: each pixel the
// mean of the area of the image it covers, weighted by how much of each pixel it covers.
// Null when the resource is missing or not such an image.
OwnedBitmap LoadScaledBitmap(HINSTANCE instance, int id, int width, int height);
