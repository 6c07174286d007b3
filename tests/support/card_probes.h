#pragma once
// What a skin card shows of its cover, and waiting for cover loads. GUI thread only.

#include <QImage>
#include <QList>
#include <QSignalSpy>

#include <memory>
#include <vector>

class SkinWidget;

// The picture in the card's cover label.
QImage shown_cover(const SkinWidget &card);

// The loading placeholder draws its first disc with its middle here (then two more, 10
// pixels apart); the no-cover one has none.
constexpr int kDiscX = 127 - 15 + 5;
constexpr int kDiscY = 92 - 30 + 5;
bool shows_no_cover_placeholder(const SkinWidget &card);

// Waits up to 15 s for the card's next cover_loaded (true once it came).
bool wait_for_cover(SkinWidget &card);

// One spy per card, made before the loads it is to see, and how many cards have loaded.
using CoverSpies = std::vector<std::unique_ptr<QSignalSpy>>;
CoverSpies spy_on_covers(const QList<SkinWidget *> &cards);
int covers_loaded(const CoverSpies &spies);
