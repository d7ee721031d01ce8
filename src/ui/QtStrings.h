#pragma once

// The core speaks UTF-8 std::string, the widgets QString.

#include <QString>

#include <string>

namespace orvanta::ui {

inline QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace orvanta::ui
