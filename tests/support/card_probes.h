#pragma once
// What a skin card shows of its cover, and waiting for cover loads. GUI thread only.

#include "cards/skin_widget.h"

#include <QImage>
#include <QLabel>
#include <QList>
#include <QSignalSpy>

#include <memory>
#include <vector>

// The picture in the card's cover label.
inline QImage shown_cover(const SkinWidget &card)
{
    return card.cover->pixmap(Qt::ReturnByValue).toImage();
}

// The loading placeholder draws its first disc with its middle here (then two more, 10
// pixels apart); the no-cover one has none.
constexpr int kDiscX = 127 - 15 + 5;
constexpr int kDiscY = 92 - 30 + 5;

inline bool shows_no_cover_placeholder(const SkinWidget &card)
{
    const QImage image = shown_cover(card);
    return image.size() == QSize(256, 185) && image.pixelColor(0, 0) == QColor(245, 245, 245)
           && image.pixelColor(kDiscX, kDiscY) == QColor(245, 245, 245);
}

// Waits up to 15 s for the card's next cover_loaded (true once it came).
inline bool wait_for_cover(SkinWidget &card)
{
    QSignalSpy loaded(&card, &SkinWidget::cover_loaded);
    return loaded.count() > 0 || loaded.wait(15000);
}

// One spy per card, made before the loads it is to see, and how many cards have loaded.
using CoverSpies = std::vector<std::unique_ptr<QSignalSpy>>;

inline CoverSpies spy_on_covers(const QList<SkinWidget *> &cards)
{
    CoverSpies spies;
    for (SkinWidget *card : cards)
        spies.push_back(std::make_unique<QSignalSpy>(card, &SkinWidget::cover_loaded));
    return spies;
}

inline int covers_loaded(const CoverSpies &spies)
{
    int loaded = 0;
    for (const auto &spy : spies)
        loaded += spy->count() > 0 ? 1 : 0;
    return loaded;
}
