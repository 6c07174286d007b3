// The card's cover: placeholders, the staggered load, the disk cache and the crop.

#include "cards/skin_widget.h"

#include "app/gui_requests.h"
#include "app/logging.h"
#include "cards/cover_cache.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QSaveFile>
#include <QTimer>

namespace {

constexpr int kCoverWidth = SkinWidget::CARD_WIDTH - 24;
// Covers of one page are fetched in groups of this many cards, this far apart.
constexpr int kCoverGroupSize = 3;
constexpr int kCoverGroupDelayMs = 100;

QPixmap blank_placeholder()
{
    QPixmap pixmap(kCoverWidth, SkinWidget::COVER_HEIGHT);
    pixmap.fill(QColor(245, 245, 245));
    return pixmap;
}

void draw_centred_text(QPixmap &pixmap, const QString &text, int point_size)
{
    QPainter painter(&pixmap);
    painter.setPen(QColor(180, 180, 180));
    painter.setFont(QFont(QStringLiteral("Microsoft YaHei"), point_size));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, text);
}

}  // namespace

void SkinWidget::_set_loading_placeholder()
{
    QPixmap pixmap = blank_placeholder();
    {
        QPainter painter(&pixmap);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(200, 200, 200));
        const QPoint centre = pixmap.rect().center();
        for (int dx : {-15, -5, 5})
            painter.drawEllipse(centre.x() + dx, centre.y() - 30, 10, 10);
    }
    draw_centred_text(pixmap, QStringLiteral("加载中..."), 10);
    cover->setPixmap(pixmap);
}

void SkinWidget::_set_placeholder_image()
{
    QPixmap pixmap = blank_placeholder();
    draw_centred_text(pixmap, QStringLiteral("暂无封面"), 12);
    cover->setPixmap(pixmap);
}

int SkinWidget::_cover_load_delay_ms(int counter)
{
    return counter / kCoverGroupSize * kCoverGroupDelayMs;
}

void SkinWidget::_async_load_cover()
{
    if (cover_loading || _retired)
        return;
    cover_loading = true;
    _set_loading_placeholder();
    const int current_counter = _cover_load_counter++;
    const int delay = _cover_load_delay_ms(current_counter);
    QTimer::singleShot(delay, this, &SkinWidget::_start_cover_download);
}

void SkinWidget::load_cover()
{
    _async_load_cover();
}

void SkinWidget::retire()
{
    _retired = true;
}

void SkinWidget::_start_cover_download()
{
    if (_retired) {
        cover_loading = false;
        emit cover_loaded();
        return;
    }
    const QPixmap pixmap = _load_cover_image();
    if (!pixmap.isNull())
        _set_cover_pixmap(pixmap);
    else
        _set_placeholder_image();
    cover_loading = false;
    emit cover_loaded();
}

QPixmap SkinWidget::_load_cover_image()
{
    const QString url = cover_url(skin_data);
    if (url.isEmpty())
        return QPixmap();
    const QString cache_path = cover_cache_path(url);

    if (QFile::exists(cache_path)) {
        QFile cached(cache_path);
        if (cached.open(QIODevice::ReadOnly)) {
            const QPixmap pixmap = QPixmap::fromImage(decode_cover(cached.readAll()));
            if (!pixmap.isNull())
                return pixmap;
        } else {
            log_warning(QStringLiteral("加载缓存图片失败: ") + cached.errorString());
        }
    }

    const HttpResponse response = session().get(gui_request(url, COVER_LIMITS));
    if (!response.ok()) {
        log_error(QStringLiteral("加载封面图片失败: ") + response.error);
        return QPixmap();
    }
    if (response.status != 200)
        return QPixmap();

    // The body is kept whether or not it decodes; a bad copy is fetched again next time.
    // The new copy replaces the old one only once it is complete.
    QSaveFile file(cache_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(response.body) != response.body.size() || !file.commit()) {
        log_error(QStringLiteral("加载封面图片失败: ") + file.errorString());
        return QPixmap();
    }
    return QPixmap::fromImage(decode_cover(response.body));
}

void SkinWidget::_set_cover_pixmap(const QPixmap &pixmap)
{
    const QPixmap scaled_pixmap =
        pixmap.scaled(kCoverWidth, COVER_HEIGHT, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const int x = (scaled_pixmap.width() - kCoverWidth) / 2;
    const int y = (scaled_pixmap.height() - COVER_HEIGHT) / 2;
    cover->setPixmap(scaled_pixmap.copy(x, y, kCoverWidth, COVER_HEIGHT));
}
