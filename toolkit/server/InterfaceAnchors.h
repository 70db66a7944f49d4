// Keeps COM's registration of every interface the toolkit hands out alive
// for the life of the process.
#ifndef HALVEX_INTERFACE_ANCHORS_H
#define HALVEX_INTERFACE_ANCHORS_H

namespace halvex {

// Table-marshals one hidden object once for each interface ID that clients
// obtain from the toolkit, and never releases it. Call once, at start-up,
// in a thread where COM is initialised; failures are ignored.
void AnchorInterfaces();

}  // namespace halvex

#endif
