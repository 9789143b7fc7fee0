// The geometry and the film of the zoom transition, apart from any window: where the new view
// lies in the old picture, the outline's rectangle at each point of the way, and the frames of
// the film that zooms into the old picture while it fades to black.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/render_context.h"

// A view: centre and extent along both axes.
struct ViewBox {
    double centreRe = 0.0;
    double centreIm = 0.0;
    double spanRe = 0.0;
    double spanIm = 0.0;
};

// Pixel rectangle of a picture, x to the right and y upwards from the bottom row.
struct PictureRect {
    int left = 0;
    int bottom = 0;
    int right = 0;
    int top = 0;
};

// Where the new view lies in the old picture of width × height pixels.
PictureRect ComputeTargetRect(int width, int height, const ViewBox& oldView,
                              const ViewBox& newView);

// The way from the whole picture (a = 0) to the target rectangle (a = 1).
PictureRect InterpolateRect(const PictureRect& target, int width, int height, double a);

// The outline at step `step` (0 … kOutlineSteps) of its way onto the target.
PictureRect OutlineAtStep(const PictureRect& target, int width, int height, int step);

// Draws the outline of rect over a width × height picture in the common layout as the
// transition draws it on the window (the same pen, XOR-drawn); window gives the DCs.
void DrawOutlineOverPicture(CWnd& window, std::uint8_t* pPicture, int width, int height,
                            const PictureRect& rect);

// Where frame `frame` of a film of `frameCount` frames stands: t from 0 to 1, the fade
// (√t, the share of black) and the eased position u on the way to the target.
struct FilmFrameTiming {
    double t = 0.0;
    double fade = 0.0;
    double ease = 0.0;
};
FilmFrameTiming FilmFrameAt(int frame, int frameCount);

// One film frame: the part `rect` of the source picture enlarged to the whole picture
// (nearest neighbour, pixels outside the picture taken from its nearest edge) and darkened
// by 1 − fade. A rectangle without width or height shows its one column or row of pixels.
void ComputeFilmFrame(const std::uint8_t* pSource, std::uint8_t* pFrame, int width, int height,
                      const PictureRect& rect, double fade);

// The whole film into `frames`, each frame on its way from the whole source picture to the
// target rectangle, on up to `processors` threads (the caller's among them); stops before
// the next frame once running is 0.
void ComputeFilm(const std::uint8_t* pSource, std::vector<ImageBuffer>& frames, int width,
                 int height, const PictureRect& target, const std::atomic<int>& running,
                 int processors);

// Width of the outline's pen on a picture `width` pixels wide.
constexpr int OutlinePenWidth(int width) { return width / 960 + 1; }
