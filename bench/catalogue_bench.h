#pragma once
// Catalogue at scale and the page view: load_categories against the bench server,
// the filtering and sorting of the largest category, and the build of a page of six
// cards whose covers are already cached.

#include "bench_data.h"

#include <QString>
#include <QVector>

class BenchPage;

struct CatalogueRuns {
    QString failure;
    QVector<double> load_ms;     // load_categories, whole
    QVector<double> request_ms;  // of which: the catalogue request alone
    QVector<double> parse_ms;    //           parsing the body
    QVector<double> rank_ms;     //           ranking the categories
    QVector<double> select_ms;   // select_skins for the largest category
    int selected = 0;
};

CatalogueRuns measure_catalogue(BenchPage &page, const CatalogueFacts &facts, int runs);

struct PageRuns {
    QString failure;
    QVector<double> build_ms;  // show_current_page
};

// Shows the largest category's first page once (covers fetched and cached), then
// times `runs` rebuilds of it.
PageRuns measure_page_build(BenchPage &page, const CatalogueFacts &facts, int runs);
