#include "engine/transition_way.h"

#include "engine/truncation.h"

PictureRect ComputeTargetRect(int width, int height, const ViewBox& oldView,
                              const ViewBox& newView)
{
    const int cx =
        TruncToPixel(width * ((newView.centreRe - oldView.centreRe) / oldView.spanRe + 0.5));
    const int cy =
        TruncToPixel(height * ((newView.centreIm - oldView.centreIm) / oldView.spanIm + 0.5));
    const int w = TruncToPixel(width * (newView.spanRe / oldView.spanRe));
    const int h = TruncToPixel(height * (newView.spanIm / oldView.spanIm));
    return {cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
}

PictureRect InterpolateRect(const PictureRect& target, int width, int height, double a)
{
    return {TruncToPixel(target.left * a), TruncToPixel(target.bottom * a),
            TruncToPixel(target.right * a + width * (1 - a)),
            TruncToPixel(target.top * a + height * (1 - a))};
}
