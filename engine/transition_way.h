// The way of the zoom transition through the old picture: where the new view lies in it, and
// the rectangle at each point of the way from the whole picture to there, which both the
// outline and the film follow.
#pragma once

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
