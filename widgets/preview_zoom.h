#pragma once
// The zoom arithmetic of the image preview: the initial fit and the wheel steps.

#include <QSize>

#include <optional>

constexpr double PREVIEW_MIN_SCALE = 0.1;
constexpr double PREVIEW_MAX_SCALE = 10.0;
constexpr double PREVIEW_WHEEL_STEP = 1.2;
// Below this zoom a resized window fits the image again.
constexpr double PREVIEW_REFIT_BELOW = 0.5;

// The scale that shows the whole image inside the view with 10 pixels to spare on every
// side, never above 1.0. None when the image is empty or the view leaves no room at all
// (a zero or negative scale would flip or collapse the image).
std::optional<double> preview_fit_scale(const QSize &view_size, const QSize &pixmap_size);

// The scale after one wheel step from `current_scale`: up by the step unless the wheel
// turned towards the user (negative vertical delta), then down; kept within the limits,
// landing on them exactly.
double preview_wheel_scale(double current_scale, int angle_delta_y);
