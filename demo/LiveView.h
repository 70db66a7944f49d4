// Painting of the main view from a LiveModel, GDI only: the trend with its
// legend, and the table of client connections beside it (below it when the
// pane is narrow).
#ifndef MAPLET1_LIVE_VIEW_H
#define MAPLET1_LIVE_VIEW_H

#include <windows.h>

#include "LiveModel.h"

namespace maplet1 {

// Paints the whole of `client` into dc through an off-screen bitmap, so that
// a refresh does not flicker. Without a model the pane stays empty.
void PaintLiveView(HDC dc, const RECT &client, const LiveModel *model);

}  // namespace maplet1

#endif
