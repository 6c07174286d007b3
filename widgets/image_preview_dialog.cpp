#include "widgets/image_preview_dialog.h"

#include "widgets/preview_zoom.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QIcon>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

ImagePreviewDialog::ImagePreviewDialog(const QPixmap &pixmap, const QString &icon_path)
    : original_pixmap(pixmap)
{
    setWindowTitle(QStringLiteral("查看大图"));
    setWindowIcon(QIcon(icon_path));
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint);
    setMinimumSize(700, 500);

    scene = new QGraphicsScene(this);
    view = new QGraphicsView(scene, this);
    // No HighQualityAntialiasing: Qt 5.15 deprecates it, and only its OpenGL engine ever read it.
    view->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    view->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    view->setOptimizationFlag(QGraphicsView::DontAdjustForAntialiasing, false);
    view->setOptimizationFlag(QGraphicsView::DontSavePainterState, true);

    pixmap_item = scene->addPixmap(original_pixmap);
    scene->setSceneRect(QRectF(QPointF(0, 0), QSizeF(original_pixmap.size())));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view);

    view->setDragMode(QGraphicsView::ScrollHandDrag);
    view->setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    view->setResizeAnchor(QGraphicsView::AnchorUnderMouse);

    _fit_to_view();

    // The wheel lands on the viewport or, once zoomed in, on a scroll bar; either would
    // scroll the view. Both go to the zoom instead.
    view->viewport()->installEventFilter(this);
    view->horizontalScrollBar()->installEventFilter(this);
    view->verticalScrollBar()->installEventFilter(this);
}

void ImagePreviewDialog::_fit_to_view()
{
    if (original_pixmap.isNull())
        return;
    const std::optional<double> scale = preview_fit_scale(view->size(), original_pixmap.size());
    if (scale)
        view->setTransform(QTransform::fromScale(*scale, *scale));
}

void ImagePreviewDialog::wheelEvent(QWheelEvent *event)
{
    // The transform only ever holds one uniform scale, so setting the clamped scale
    // outright is the same as scaling by the step, and lands on the limits exactly.
    const double scale = preview_wheel_scale(view->transform().m11(), event->angleDelta().y());
    view->setTransform(QTransform::fromScale(scale, scale));
    // Accepted, or Qt would hand a wheel from the view on to this dialog a second time.
    event->accept();
}

void ImagePreviewDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (view->transform().m11() < PREVIEW_REFIT_BELOW)
        _fit_to_view();
}

bool ImagePreviewDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
