#include "LiveModel.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "Maplet1Callback.h"

namespace maplet1 {
namespace {

bool EarlierThan(const TrendPoint &point, ULONGLONG stamp) { return point.stamp < stamp; }

// The source's value at a stamp as a number; false when it gives none.
bool ReadValue(CVxHDACallback &source, void *item, ULONGLONG stamp, double *value) {
    VARIANT v;
    VariantInit(&v);
    DWORD quality = 0;
    // Every result but 0 counts as a failure, success codes included.
    bool ok = source.ReadAt(item, FromTicks(stamp), &v, &quality) == 0 &&
              SUCCEEDED(VariantChangeType(&v, &v, 0, VT_R8));
    if (ok) *value = v.dblVal;
    VariantClear(&v);
    return ok;
}

}  // namespace

LiveModel::LiveModel(CVxHDACallback &source, std::vector<TrendItem> items,
                     ConnectionLister lister, ULONGLONG window)
    : source_(source), items_(std::move(items)), lister_(lister), window_(window),
      series_(items_.size()), stamps_(kMaxPoints) {
    for (size_t i = 0; i < items_.size(); ++i) series_[i].name = items_[i].name;
}

void LiveModel::Refresh(FILETIME now) {
    now_ = std::max(Ticks(now), window_);  // no window before the FILETIME origin
    for (size_t i = 0; i < items_.size(); ++i) RefreshSeries(items_[i], series_[i]);
    RefreshConnections();
}

void LiveModel::RefreshSeries(const TrendItem &item, TrendSeries &series) {
    FILETIME start = FromTicks(now_ - window_), end = FromTicks(now_);
    long n = source_.GetTimeStamps(item.item, &start, &end, kMaxPoints, stamps_.data());
    n = std::max(0L, std::min(n, kMaxPoints));
    // Forwards, the source gives the stamps oldest first, as the points are
    // kept.
    std::vector<TrendPoint> points;
    points.reserve(n);
    for (long i = 0; i < n; ++i) {
        const ULONGLONG stamp = Ticks(stamps_[i]);
        auto held = std::lower_bound(series.points.begin(), series.points.end(), stamp,
                                     EarlierThan);
        double value = 0;
        if (held != series.points.end() && held->stamp == stamp)
            points.push_back(*held);
        else if (ReadValue(source_, item.item, stamp, &value))
            points.push_back(TrendPoint{stamp, value});
    }
    series.points.swap(points);
}

void LiveModel::RefreshConnections() {
    int count = 0;
    // A client may connect between two calls: the list is asked again with
    // room for the count it gave, a few times at most.
    for (int attempt = 0; lister_ && attempt < 3; ++attempt) {
        count = lister_(infos_.data(), static_cast<int>(infos_.size()));
        if (count <= static_cast<int>(infos_.size())) break;
        infos_.resize(count + 4);
    }
    connectionCount_ = std::max(count, 0);
    const int rows = std::min(connectionCount_, static_cast<int>(infos_.size()));
    connections_.clear();
    for (int i = 0; i < rows; ++i) {
        const HDAConnectionInfo &info = infos_[i];
        const size_t length = strnlen(info.clientName, sizeof info.clientName);
        connections_.push_back(ConnectionRow{info.id, std::string(info.clientName, length),
                                             info.reads, info.advises});
    }
}

}  // namespace maplet1
