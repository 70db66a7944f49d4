#include "LiveView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Maplet1Callback.h"

namespace maplet1 {
namespace {

constexpr int kMargin = 8;
constexpr int kGap = 12;
constexpr int kSwatch = 16;           // length of a legend's colour line
constexpr int kTableWidth = 300;      // the connection table beside the trend
constexpr int kSideBySideMin = 600;   // narrower panes put the table below

// One colour per item, in the items' order.
constexpr COLORREF kSeriesColours[] = {
    RGB(31, 119, 180), RGB(255, 127, 14),  RGB(44, 160, 44),
    RGB(214, 39, 40),  RGB(148, 103, 189), RGB(140, 86, 75),
    RGB(227, 119, 194), RGB(127, 127, 127), RGB(188, 189, 34),
};
constexpr COLORREF kFrameColour = RGB(128, 128, 128);
constexpr COLORREF kGridColour = RGB(224, 224, 224);

// A GDI object selected into a DC for a scope; a pen made for the scope is
// deleted after the previous object is back.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object, bool owned)
        : dc_(dc), object_(object), owned_(owned),
          previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
        if (owned_ && object_) DeleteObject(object_);
    }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    bool owned_;
    HGDIOBJ previous_;
};

Selection UsePen(HDC dc, int width, COLORREF colour) {
    return Selection(dc, CreatePen(PS_SOLID, width, colour), true);
}

int TextWidth(HDC dc, const std::string &text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void Text(HDC dc, int x, int y, const std::string &text) {
    TextOutA(dc, x, y, text.data(), static_cast<int>(text.size()));
}

// One line of text in a box, aligned by `align` (DT_LEFT, DT_RIGHT,
// DT_CENTER) and cut with an ellipsis when it is too long.
void BoxText(HDC dc, RECT box, const std::string &text, UINT align) {
    DrawTextA(dc, text.c_str(), -1, &box, align | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

std::string Number(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// Stamps and values to pixels of the plot's area.
struct Plot {
    RECT area;
    ULONGLONG start, end;
    double low, high;

    int X(ULONGLONG t) const {
        const double share = (static_cast<double>(t) - static_cast<double>(start)) /
                             static_cast<double>(end - start);
        return area.left + static_cast<int>(std::lround(share * (area.right - area.left)));
    }
    int Y(double v) const {
        const double share = (v - low) / (high - low);
        return area.bottom - static_cast<int>(std::lround(share * (area.bottom - area.top)));
    }
};

// The data's value range widened to whole numbers, at least 1 wide.
void ValueRange(const LiveModel &model, double *low, double *high) {
    bool any = false;
    for (const TrendSeries &series : model.Series()) {
        for (const TrendPoint &point : series.points) {
            *low = any ? std::min(*low, point.value) : point.value;
            *high = any ? std::max(*high, point.value) : point.value;
            any = true;
        }
    }
    if (!any) *low = *high = 0;
    *low = std::floor(*low);
    *high = std::max(std::ceil(*high), *low + 1);
}

// Value lines at the bottom, middle and top with their labels on the left;
// a line for each whole minute back from now, labelled below; the frame.
// The plot's area leaves half a line above it and one and a half below.
void DrawAxes(HDC dc, const Plot &plot, int lineHeight) {
    const RECT &a = plot.area;
    {
        Selection pen = UsePen(dc, 1, kGridColour);
        for (double v : {plot.low, (plot.low + plot.high) / 2, plot.high}) {
            const int y = plot.Y(v);
            Line(dc, a.left, y, a.right, y);
            BoxText(dc, RECT{0, y - lineHeight / 2, a.left - 4, y + lineHeight / 2}, Number(v),
                    DT_RIGHT);
        }
        for (ULONGLONG k = 0; k * kMinute <= plot.end - plot.start; ++k) {
            const int x = plot.X(plot.end - k * kMinute);
            Line(dc, x, a.top, x, a.bottom);
            const std::string label = k == 0 ? "now" : "-" + std::to_string(k) + " min";
            const int half = TextWidth(dc, label) / 2 + 1;
            // Below the lowest value's label, which reaches half a line down.
            const int y = a.bottom + lineHeight / 2 + 1;
            BoxText(dc, RECT{x - half, y, x + half, y + lineHeight}, label, DT_CENTER);
        }
    }
    Selection pen = UsePen(dc, 1, kFrameColour);
    Selection brush(dc, GetStockObject(NULL_BRUSH), false);
    Rectangle(dc, a.left, a.top, a.right + 1, a.bottom + 1);
}

void DrawSeries(HDC dc, const Plot &plot, const LiveModel &model) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, plot.area.left, plot.area.top, plot.area.right + 1,
                      plot.area.bottom + 1);
    std::vector<POINT> points;
    for (size_t i = 0; i < model.Series().size(); ++i) {
        const COLORREF colour = kSeriesColours[i % ARRAYSIZE(kSeriesColours)];
        Selection pen = UsePen(dc, 2, colour);
        points.clear();
        for (const TrendPoint &p : model.Series()[i].points)
            points.push_back(POINT{plot.X(p.stamp), plot.Y(p.value)});
        if (points.size() > 1) Polyline(dc, points.data(), static_cast<int>(points.size()));
        if (points.size() == 1) Ellipse(dc, points[0].x - 2, points[0].y - 2, points[0].x + 3,
                                        points[0].y + 3);
    }
    RestoreDC(dc, saved);
}

int LegendWidth(HDC dc, const LiveModel &model) {
    int widest = 0;
    for (const TrendSeries &series : model.Series())
        widest = std::max(widest, TextWidth(dc, series.name));
    return kSwatch + 6 + widest;
}

void DrawLegend(HDC dc, int x, int y, int lineHeight, const LiveModel &model) {
    for (size_t i = 0; i < model.Series().size(); ++i, y += lineHeight) {
        Selection pen = UsePen(dc, 3, kSeriesColours[i % ARRAYSIZE(kSeriesColours)]);
        Line(dc, x, y + lineHeight / 2, x + kSwatch, y + lineHeight / 2);
        Text(dc, x + kSwatch + 6, y, model.Series()[i].name);
    }
}

void DrawTrend(HDC dc, const RECT &box, const LiveModel &model, int lineHeight) {
    const ULONGLONG minutes = (model.WindowEnd() - model.WindowStart()) / kMinute;
    Text(dc, box.left, box.top,
         "Item values, last " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes"));
    const int legendWidth = LegendWidth(dc, model);
    const int top = box.top + lineHeight + 4;
    DrawLegend(dc, box.right - legendWidth, top, lineHeight, model);

    Plot plot;
    ValueRange(model, &plot.low, &plot.high);
    plot.start = model.WindowStart();
    plot.end = model.WindowEnd();
    const int labels = std::max(TextWidth(dc, Number(plot.low)), TextWidth(dc, Number(plot.high)));
    plot.area = RECT{box.left + labels + 6, top + lineHeight / 2, box.right - legendWidth - kGap,
                     box.bottom - lineHeight * 3 / 2 - 2};
    if (plot.end <= plot.start || plot.area.right - plot.area.left < 40 ||
        plot.area.bottom - plot.area.top < 20)
        return;  // no room for a plot
    DrawAxes(dc, plot, lineHeight);
    DrawSeries(dc, plot, model);
}

// "Clients connected: N", then one row per connection: the client's name,
// its reads and its advises. Rows that do not fit are counted on the last.
void DrawConnections(HDC dc, const RECT &box, const LiveModel &model, int lineHeight) {
    Text(dc, box.left, box.top, "Clients connected: " + std::to_string(model.ConnectionCount()));
    const int column = TextWidth(dc, "Advises") + 12;
    const int advisesLeft = box.right - column, readsLeft = advisesLeft - column;
    auto row = [&](int y, const std::string &name, const std::string &reads,
                   const std::string &advises) {
        BoxText(dc, RECT{box.left, y, readsLeft - 6, y + lineHeight}, name, DT_LEFT);
        BoxText(dc, RECT{readsLeft, y, advisesLeft, y + lineHeight}, reads, DT_RIGHT);
        BoxText(dc, RECT{advisesLeft, y, box.right, y + lineHeight}, advises, DT_RIGHT);
    };
    int y = box.top + lineHeight + 6;
    row(y, "Client", "Reads", "Advises");
    y += lineHeight + 2;
    {
        Selection pen = UsePen(dc, 1, kFrameColour);
        Line(dc, box.left, y, box.right, y);
    }
    y += 3;
    const std::vector<ConnectionRow> &rows = model.Connections();
    for (size_t i = 0; i < rows.size(); ++i, y += lineHeight) {
        if (y + 2 * lineHeight > box.bottom && i + 1 < rows.size()) {
            Text(dc, box.left, y, "... and " + std::to_string(rows.size() - i) + " more");
            break;
        }
        const ConnectionRow &r = rows[i];
        row(y, r.clientName.empty() ? "(no name)" : r.clientName, std::to_string(r.reads),
            std::to_string(r.advises));
    }
}

void Draw(HDC dc, const RECT &client, const LiveModel *model) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    if (!model) return;
    Selection font(dc, GetStockObject(DEFAULT_GUI_FONT), false);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    const int lineHeight = metrics.tmHeight + 2;

    RECT inner = client;
    InflateRect(&inner, -kMargin, -kMargin);
    RECT trend = inner, table = inner;
    if (inner.right - inner.left >= kSideBySideMin) {
        table.left = inner.right - kTableWidth;
        trend.right = table.left - kGap;
    } else {
        // Below: the title, the heading, the rows and a spare line, at most
        // half the height.
        const int rows = static_cast<int>(model->Connections().size());
        const int height =
            std::min<int>((rows + 3) * lineHeight + 12, (inner.bottom - inner.top) / 2);
        table.top = inner.bottom - height;
        trend.bottom = table.top - kGap;
    }
    DrawTrend(dc, trend, *model, lineHeight);
    DrawConnections(dc, table, *model, lineHeight);
}

}  // namespace

void PaintLiveView(HDC dc, const RECT &client, const LiveModel *model) {
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (!bitmap) {
        // No memory for a buffer: paint straight into the window.
        if (memory) DeleteDC(memory);
        Draw(dc, client, model);
        return;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SetWindowOrgEx(memory, client.left, client.top, nullptr);
    Draw(memory, client, model);
    SetWindowOrgEx(memory, 0, 0, nullptr);
    BitBlt(dc, client.left, client.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

}  // namespace maplet1
