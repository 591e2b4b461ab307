#pragma once
// Pictures drawn at the screen's resolution. Windows lay themselves out in
// client pixels (96 dpi); a screen with a device pixel ratio r shows r device
// pixels per client pixel. Buffers of pictures are sized in device pixels so
// image pixels land on physical pixels; these are the conversions both ways.

// Device pixels needed to cover a client length: ceil(length x ratio), never
// negative; a ratio that is not a positive finite number counts as 1.
int DevicePixels(int clientLength, double ratio);

// The ratio a view should use: the screen's, or 1 when it is not a positive
// finite number.
double SaneRatio(double ratio);

// A client coordinate moved to the nearest device-pixel boundary (halves
// away from zero), so a picture placed there starts on a physical pixel.
double SnapToDevice(double clientCoord, double ratio);
