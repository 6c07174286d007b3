#include "widgets/cached_drop_shadow.h"

#include <QCache>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>
#include <QtMath>

namespace {

int made = 0;

// Shadows by outline, blur radius and colour. Images, not pixmaps, so that the cache can
// outlive the application object at exit.
QCache<QByteArray, QImage> &shadow_cache()
{
    static QCache<QByteArray, QImage> cache(16);
    return cache;
}

QByteArray cache_key(const QImage &outline, qreal radius, const QColor &color, qreal pixel_ratio)
{
    // Row by row: the bytes that pad a scan line are not part of the picture.
    uint hash = 0;
    for (int y = 0; y < outline.height(); ++y)
        hash = qHashBits(outline.constScanLine(y), size_t(outline.width()), hash);
    return QByteArray::number(hash) + ' ' + QByteArray::number(outline.width()) + 'x'
           + QByteArray::number(outline.height()) + ' ' + QByteArray::number(radius) + ' '
           + QByteArray::number(color.rgba()) + ' ' + QByteArray::number(pixel_ratio);
}

// Qt's own drop shadow of the outline, cut out of a throw-away scene: the shadow is cast
// far enough to the side that it does not meet the outline, and the cut, `pad` pixels
// wider than the outline on every side, holds the shadow alone. The outline is rendered
// too, because Qt only shadows what lies on the painted device.
QImage shadow_of(const QImage &outline, int pad, qreal radius, const QColor &color)
{
    QGraphicsScene scene;
    QGraphicsPixmapItem *item =
        scene.addPixmap(QPixmap::fromImage(outline.convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    const int aside = outline.width() + 2 * pad + 8;
    auto *effect = new QGraphicsDropShadowEffect;
    effect->setBlurRadius(radius);
    effect->setColor(color);
    effect->setOffset(aside, 0);
    item->setGraphicsEffect(effect);

    const QSize size(outline.width() + 2 * pad, outline.height() + 2 * pad);
    QImage both(aside + size.width(), size.height(), QImage::Format_ARGB32_Premultiplied);
    both.fill(Qt::transparent);
    QPainter painter(&both);
    scene.render(&painter, QRectF(both.rect()), QRectF(-pad, -pad, both.width(), both.height()));
    painter.end();
    return both.copy(QRect(QPoint(aside, 0), size));
}

}  // namespace

CachedDropShadowEffect::CachedDropShadowEffect(QWidget *widget)
    : QGraphicsDropShadowEffect(widget)
    , widget(widget)
{
    const auto forget = [this] { shadow = QPixmap(); };
    connect(this, &QGraphicsDropShadowEffect::blurRadiusChanged, this, forget);
    connect(this, &QGraphicsDropShadowEffect::colorChanged, this, forget);
    widget->setGraphicsEffect(this);
}

int CachedDropShadowEffect::shadows_made()
{
    return made;
}

void CachedDropShadowEffect::draw(QPainter *painter)
{
    if (!widget || (blurRadius() <= 0 && offset().isNull())) {
        drawSource(painter);
        return;
    }
    const QRect bounds = widget->rect();
    if (bounds.isEmpty())
        return;

    // Only the region being repainted (the painter's system clip) is rendered again; what
    // lies outside it is not painted now. A new size or pixel ratio (Qt tells an effect
    // of a new size only while its widget is visible) renders everything.
    const qreal pixel_ratio = painter->device()->devicePixelRatioF();
    QRegion dirty = bounds;
    if (rendering.size() != bounds.size() * pixel_ratio || rendering.devicePixelRatioF() != pixel_ratio) {
        rendering = QImage(bounds.size() * pixel_ratio, QImage::Format_ARGB32_Premultiplied);
        rendering.setDevicePixelRatio(pixel_ratio);
        shadow = QPixmap();
    } else if (const QRegion clip = painter->paintEngine()->systemClip(); !clip.isEmpty()) {
        dirty = painter->deviceTransform().inverted().map(clip) & bounds;
    }
    if (!dirty.isEmpty()) {
        {
            QPainter eraser(&rendering);
            eraser.setCompositionMode(QPainter::CompositionMode_Clear);
            for (const QRect &rect : dirty)
                eraser.fillRect(rect, Qt::transparent);
        }
        // Into an image of our own, without the window background a top-level rendering
        // would add. Not drawSource(): drawn straight onto the screen, the widget's
        // children that have effects of their own would not be drawn at all. (render()
        // puts the region's top left corner at the offset it is given.)
        widget->render(&rendering, dirty.boundingRect().topLeft(), dirty, QWidget::DrawChildren);
    }

    if (shadow.isNull())
        make_shadow();
    const int pad = qCeil(qCeil(blurRadius()) / pixel_ratio);  // the shadow's margin, in logical pixels
    painter->drawPixmap(offset().toPoint() - QPoint(pad, pad), shadow);
    painter->drawImage(QPoint(), rendering);
}

void CachedDropShadowEffect::make_shadow()
{
    const qreal pixel_ratio = rendering.devicePixelRatioF();
    QImage outline = rendering.convertToFormat(QImage::Format_Alpha8);
    outline.setDevicePixelRatio(1);

    // Qt blurs a widget's shadow in device pixels by the radius as given; the pad holds
    // the blur's spread, as far as the effect's bounding rectangle reaches.
    const int pad = qCeil(blurRadius());
    const QByteArray key = cache_key(outline, blurRadius(), color(), pixel_ratio);
    QImage *image = shadow_cache().object(key);
    if (!image) {
        image = new QImage(shadow_of(outline, pad, blurRadius(), color()));
        shadow_cache().insert(key, image);
        ++made;
    }
    shadow = QPixmap::fromImage(*image);
    shadow.setDevicePixelRatio(pixel_ratio);
}
