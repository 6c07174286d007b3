#pragma once
// A skin cover at full resolution in its own modal window: opens fitted to the window
// (never enlarged), zooms with the wheel around the mouse between 10 % and 1000 %, drags
// with the hand cursor, and fits again on resize while zoomed out below 50 %.
// The wheel never scrolls the view; over the view it zooms just as over the dialog.

#include <QDialog>
#include <QPixmap>
#include <QString>

class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsView;

class ImagePreviewDialog : public QDialog {
    Q_OBJECT
public:
    // An empty `icon_path` leaves the window without an icon of its own.
    ImagePreviewDialog(const QPixmap &pixmap, const QString &icon_path);

    QPixmap original_pixmap;
    QGraphicsScene *scene = nullptr;
    QGraphicsView *view = nullptr;
    QGraphicsPixmapItem *pixmap_item = nullptr;

    // Replaces any zoom by the scale that shows the whole image in the view, at most 1.0.
    void _fit_to_view();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
