#pragma once

// The pictures of the window by the names the rest of the program uses ("button-record",
// "aquaDotOnline", "toolbaritem-addstream"...): the desktop's icon theme when it has the
// freedesktop icon, else the SVG shipped with Orvanta, so the window looks right without a
// theme too.
//
// Thread: main (QIcon).

#include <QIcon>
#include <QString>

namespace orvanta::ui {

/// The icon for a picture name; a null icon for an unknown name or an empty one.
QIcon iconNamed(const QString& name);

/// The freedesktop theme name and the shipped fallback of a picture name; empty for an
/// unknown name.
struct IconSource
{
    QString themeName; // empty: only the shipped picture (status dots have no theme icon)
    QString fallback;  // resource path of the shipped SVG
};
IconSource iconSourceFor(const QString& name);

} // namespace orvanta::ui
