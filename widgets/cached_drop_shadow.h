#pragma once
// A drop shadow that blurs a widget's outline once, and repaints only what changed.
//
// QGraphicsDropShadowEffect renders its whole widget off-screen and blurs the result
// whenever anything inside it repaints: a card whose button counts a download's
// percentage was re-rendered and re-blurred whole, on every card of the page, several
// times a second. This effect keeps the widget's rendering in an image of its own and
// renders again only the region that is being repainted; the shadow is blurred from the
// widget's outline (the alpha of its rendering) when the widget first shows at a size,
// and shared by every widget with the same outline.
//
// It suits widgets whose outline stays the same while their contents change, such as a
// card with an opaque rounded background. It looks the same as Qt's effect with the same
// blur radius, offset and colour, children with effects of their own included.

#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QPixmap>
#include <QPointer>

class CachedDropShadowEffect : public QGraphicsDropShadowEffect {
    Q_OBJECT
public:
    // Becomes `widget`'s graphics effect; the widget owns it.
    explicit CachedDropShadowEffect(QWidget *widget);

    // How many shadows have been blurred in this process (the cache's misses).
    static int shadows_made();

protected:
    void draw(QPainter *painter) override;

private:
    void make_shadow();

    QPointer<QWidget> widget;
    QImage rendering;      // the widget without its shadow, kept up to date where painted
    QPixmap shadow;        // empty until the first draw and after a change of property
    QPoint shadow_origin;  // its top left corner in the widget's coordinates
};
