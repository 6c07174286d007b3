#include "widgets/preview_zoom.h"

#include <algorithm>

std::optional<double> preview_fit_scale(const QSize &view_size, const QSize &pixmap_size)
{
    if (pixmap_size.width() <= 0 || pixmap_size.height() <= 0)
        return std::nullopt;
    const double width_ratio = double(view_size.width() - 20) / pixmap_size.width();
    const double height_ratio = double(view_size.height() - 20) / pixmap_size.height();
    const double scale = std::min({width_ratio, height_ratio, 1.0});
    if (scale <= 0)
        return std::nullopt;
    return scale;
}

double preview_wheel_scale(double current_scale, int angle_delta_y)
{
    const double factor = angle_delta_y < 0 ? 1.0 / PREVIEW_WHEEL_STEP : PREVIEW_WHEEL_STEP;
    const double new_scale = current_scale * factor;
    if (new_scale < PREVIEW_MIN_SCALE)
        return PREVIEW_MIN_SCALE;
    if (new_scale > PREVIEW_MAX_SCALE)
        return PREVIEW_MAX_SCALE;
    return new_scale;
}
