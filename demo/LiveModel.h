// What the main view shows, gathered on the window thread: a trend of each
// item's raw values over the last minutes, read from the history source, and
// the toolkit's list of client connections. The model is a plain copy: the
// view paints from it without calling the toolkit or the source.
#ifndef MAPLET1_LIVE_MODEL_H
#define MAPLET1_LIVE_MODEL_H

#include <windows.h>

#include <string>
#include <vector>

#include "Halvex.h"

namespace maplet1 {

// GetHDAConnections' shape, so that a test can hand in its own list.
typedef int(__stdcall *ConnectionLister)(HDAConnectionInfo *infos, int maxCount);

// One item of the trend: the handle the source is asked with, and its name.
struct TrendItem {
    void *item;
    std::string name;
};

// A raw value of an item, at its time stamp (FILETIME units).
struct TrendPoint {
    ULONGLONG stamp;
    double value;
};

struct TrendSeries {
    std::string name;
    std::vector<TrendPoint> points;  // oldest first
};

struct ConnectionRow {
    DWORD id;
    std::string clientName;
    DWORD reads;
    DWORD advises;
};

class LiveModel {
public:
    // The source must outlive the model; `window` is the trend's length.
    LiveModel(CVxHDACallback &source, std::vector<TrendItem> items, ConnectionLister lister,
              ULONGLONG window);

    // Asks the source for every item's raw stamps between now - window and
    // now, and for the values at them; a stamp already held keeps its value,
    // so only new stamps are read. A value the source fails to give is left
    // out. Then copies the connection list.
    void Refresh(FILETIME now);

    ULONGLONG WindowStart() const { return now_ - window_; }
    ULONGLONG WindowEnd() const { return now_; }
    const std::vector<TrendSeries> &Series() const { return series_; }
    const std::vector<ConnectionRow> &Connections() const { return connections_; }
    // The lister's count: the rows, unless connections came and went faster
    // than the list could be copied.
    int ConnectionCount() const { return connectionCount_; }

    // Most stamps read per item and refresh.
    static constexpr long kMaxPoints = 1000;

private:
    void RefreshSeries(const TrendItem &item, TrendSeries &series);
    void RefreshConnections();

    CVxHDACallback &source_;
    std::vector<TrendItem> items_;
    ConnectionLister lister_;
    ULONGLONG window_;
    ULONGLONG now_ = 0;
    std::vector<TrendSeries> series_;  // one per item, in the items' order
    std::vector<ConnectionRow> connections_;
    int connectionCount_ = 0;
    // Buffers kept between refreshes.
    std::vector<FILETIME> stamps_;
    std::vector<HDAConnectionInfo> infos_;
};

}  // namespace maplet1

#endif
