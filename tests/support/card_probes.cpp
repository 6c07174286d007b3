#include "support/card_probes.h"

#include "cards/skin_widget.h"

#include <QLabel>

QImage shown_cover(const SkinWidget &card)
{
    return card.cover->pixmap(Qt::ReturnByValue).toImage();
}

bool shows_no_cover_placeholder(const SkinWidget &card)
{
    const QImage image = shown_cover(card);
    return image.size() == QSize(256, 185) && image.pixelColor(0, 0) == QColor(245, 245, 245)
           && image.pixelColor(kDiscX, kDiscY) == QColor(245, 245, 245);
}

bool wait_for_cover(SkinWidget &card)
{
    QSignalSpy loaded(&card, &SkinWidget::cover_loaded);
    return loaded.count() > 0 || loaded.wait(15000);
}

CoverSpies spy_on_covers(const QList<SkinWidget *> &cards)
{
    CoverSpies spies;
    for (SkinWidget *card : cards)
        spies.push_back(std::make_unique<QSignalSpy>(card, &SkinWidget::cover_loaded));
    return spies;
}

int covers_loaded(const CoverSpies &spies)
{
    int loaded = 0;
    for (const auto &spy : spies)
        loaded += spy->count() > 0 ? 1 : 0;
    return loaded;
}
