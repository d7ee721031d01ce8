#pragma once

// User-visible texts are looked up by their English text in Qt's translation tables
// (context "Orvanta"); the English text is the fallback.
//
// Thread-safe (Qt's translation look-up is).

#include <string>

namespace orvanta {

/// The translation of an English text, UTF-8.
std::string localizedString(const char* english);

/// Installs the translation for the system locale from folder ("orvanta_<locale>.qm"),
/// when there is one. Call on the main thread after the application object exists.
bool installTranslations(const std::string& folder);

} // namespace orvanta
