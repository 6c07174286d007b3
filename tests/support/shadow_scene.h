#pragma once
// Two renderings of one card-like scene to compare the cached drop shadow with Qt's own:
// an opaque rounded card with a label and a shadowed badge inside, on a plain backdrop
// with room around it for the shadow. GUI thread only.

#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QLabel>
#include <QSize>
#include <QWidget>

struct ShadowScene {
    // `cached`: the card's shadow is a CachedDropShadowEffect, else Qt's own effect.
    ShadowScene(bool cached, QSize size);

    QImage picture();  // a full rendering
    // What the window shows: the backing store, painted region by region.
    QImage on_screen();

    QWidget backdrop;
    QWidget *card = nullptr;
    QLabel *label = nullptr;
    QWidget *badge = nullptr;
    QGraphicsDropShadowEffect *effect = nullptr;
};

// The largest difference of a colour channel between two pictures (256: sizes differ).
int largest_difference(const QImage &a, const QImage &b);

// The two pictures agree, the shadow is really there (the backdrop just under the card's
// lower edge is darker than the backdrop far away) and so is the badge.
void expect_same_shadow(ShadowScene &qt_scene, ShadowScene &cached_scene);
