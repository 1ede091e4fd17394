// The language table shared by the whole program, and the user's language, country and browser.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace qrx {

// The texts are ASCII, kept narrow: the table is half the size it would be in UTF-16.
struct LanguageRow {
  WORD langId;
  char code[6];      // page language code: "en", "jp", "tw", ... ("other" for row 0)
  const char* name;  // English name used in reports
};

constexpr int kLanguageCount = 108;
// Row 0 is the catch-all "other".
extern const LanguageRow kLanguages[kLanguageCount];

// Language index (row of kLanguages) for a LANGID; 0 when no row matches.
int LanguageIndexFromLangId(WORD langId);
std::wstring GetLanguageCode(int index);
std::wstring GetLanguageName(int index);

// String `id` from a string-table block (16 counted strings); empty when the block is too short.
std::wstring StringFromTableBlock(const void* block, size_t blockBytes, unsigned id);
// The browser name from a zero-filled buffer of `capacity` characters; "Other" when the read
// failed or the value fills the buffer without a terminator.
std::wstring BrowserNameFromValue(bool readOk, const wchar_t* buffer, size_t capacity);

int GetUiLanguageIndex();
// String resource `id` of this module in the language of row `index`; empty when missing.
std::wstring LoadLocalizedString(unsigned id, int index);
// The user's nation id in decimal ("244"); "-1" when unavailable.
std::wstring GetCountryCode();
// The registered name of the default browser client, or "Other".
std::wstring GetDefaultBrowser();

}  // namespace qrx
