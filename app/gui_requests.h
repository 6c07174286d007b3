#pragma once
// The requests the GUI thread waits for, and how long and how much each may take. The
// window is frozen while one runs, so each is bounded as a whole, connection retries
// included, and not only by its silences: a server that trickles its answer holds the
// window no longer than the time given here. The body sizes lie far above anything the
// server really sends; a larger body fails the request like a network failure.

#include "app/http_session.h"

#include <QString>

struct GuiRequestLimits {
    int time_ms;
    qint64 body_bytes;
};

constexpr qint64 MEBIBYTE = 1024 * 1024;

constexpr GuiRequestLimits DISCOVERY_LIMITS{10000, 1 * MEBIBYTE};      // a base address as text
constexpr GuiRequestLimits HTTPS_PROBE_LIMITS{10000, 0};               // a HEAD: no body
constexpr GuiRequestLimits INSTRUCTIONS_LIMITS{10000, 16 * MEBIBYTE};  // text, perhaps with data: images
constexpr GuiRequestLimits CATALOGUE_LIMITS{10000, 64 * MEBIBYTE};     // the whole catalogue
constexpr GuiRequestLimits COVER_LIMITS{10000, 32 * MEBIBYTE};         // one image
constexpr GuiRequestLimits VERSION_LIMITS{5000, 1 * MEBIBYTE};         // the version record

// A request for `url` within `limits`; its time-out for silences is the same time.
inline HttpRequest gui_request(const QString &url, const GuiRequestLimits &limits)
{
    HttpRequest request;
    request.url = url;
    request.timeout_ms = limits.time_ms;
    request.total_ms = limits.time_ms;
    request.max_body_bytes = limits.body_bytes;
    return request;
}
