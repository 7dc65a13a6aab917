#pragma once
// XPM data of the built-in pictures (sizes: application 48 x 48, clear 16 x 16, magnifier 20 x 20,
// open 4 x 8, close 8 x 6, arrows 14 x 9). The arrays live for the whole run, as the toolkit's
// pixmaps that use them require.

namespace sorvimend {

extern const char* const kApplicationIconXpm[];
extern const char* const kClearIconXpm[];
extern const char* const kMagnifierIconXpm[];
extern const char* const kOpenIconXpm[];
extern const char* const kCloseIconXpm[];
extern const char* const kUpArrowXpm[];
extern const char* const kDownArrowXpm[];

}  // namespace sorvimend
