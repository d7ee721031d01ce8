#pragma once

// What a drop onto the station list carries, read from its MIME data: the list's own drag
// (its private type), an address dragged from a web browser (text/uri-list, with the
// link's title where the browser gives one), plain text, or playlist files from the file
// manager (file: URLs). Pure: no widgets, so the rules can be tested on their own.
//
// Thread: any.

#include "MyOLVController.h"

#include <QString>

class QMimeData;

namespace orvanta {

/// The private type of a drag that starts in the station list; its data is empty (the
/// controller keeps the dragged nodes).
inline const QString kStationListDragType = QStringLiteral("application/x-orvanta-stations");

/// The drop's input for MyOLVController::acceptDrop.
MyOLVController::DropInput dropInputFromMimeData(const QMimeData& data);

/// Whether accepting input means fetching a playlist over the network (an address ending
/// in ".pls"): the list does that off the main thread first.
bool dropNeedsPlaylistFetch(const MyOLVController::DropInput& input);

} // namespace orvanta
