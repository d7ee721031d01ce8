#pragma once

// User-visible texts of the non-widget code go through Qt's translation tables under the
// context "Orvanta", looked up by their English text (which is also the fallback). lupdate
// finds them as `Orvanta::tr("…")` calls with a literal; a text kept in a constant is marked
// where it is written with QT_TRANSLATE_NOOP("Orvanta", "…").
//
// Log lines stay English: they are read by whoever fixes a fault, not by the user.
//
// Thread-safe (Qt's translation look-up is; translators are installed at start-up).

#include <initializer_list>
#include <string>

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

class Orvanta
{
#ifdef ORVANTA_LUPDATE // the marker lupdate looks for in a translation context
    Q_DECLARE_TR_FUNCTIONS(Orvanta)
#endif
public:
    /// The translation of an English text, UTF-8.
    static std::string tr(const char* english);
    /// The same, with "%1", "%2"… replaced by the arguments in turn (after translation, so a
    /// translation may reorder them).
    static std::string tr(const char* english, std::initializer_list<std::string> arguments);
};

namespace orvanta {

/// The translation of an English text, UTF-8 (the same as Orvanta::tr, for a text held in a
/// variable that was marked where it was written).
std::string localizedString(const char* english);

/// A number as the user writes it (decimal separator of the locale), with `decimals` places.
std::string localizedNumber(double value, int decimals);

/// A moment (seconds since 1970) in local time, written by a Qt date-time pattern
/// ("ddd, dd MMM yyyy") with the day and month names of the user's locale.
std::string localizedDateTime(double secondsSince1970, const char* pattern);

/// Installs the translations for the user's languages (LANGUAGE, LC_MESSAGES, LANG):
/// Orvanta's own ("orvanta_<language>.qm") from the resources folder, or a developer
/// build's folder, and Qt's for its standard buttons and dialogues. Call on the main thread
/// after the application object exists; false when Orvanta has none for the language.
bool installTranslations();

/// The folders searched for "orvanta_<language>.qm", first match wins.
std::string translationsFolder();

} // namespace orvanta
