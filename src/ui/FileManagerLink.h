#pragma once

// Shows a file in the user's file manager with the file selected, through the freedesktop
// FileManager1 interface on the session bus; without one, opens the folder that holds it.
//
// Thread: main. The D-Bus call does not wait for an answer.

#include <QString>

namespace orvanta::ui {

/// How the file was shown.
enum class ShowItemResult { FileManagerCalled, FolderOpened, Failed };

ShowItemResult showItemInFileManager(const QString& path);

} // namespace orvanta::ui
