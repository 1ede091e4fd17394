// The text form of the page proxy's requests and of the host's answers.
//
// A request is a form body ("op=call&name=download&flags=1&arg=s%3Ahttp...&arg=f%3A3"); each
// argument is a type letter, a colon and the value: i (32-bit integer), d (other number),
// s (text), b (1 or 0), u (undefined), n (null), f (a page function, by its id).
// An answer is a JSON object; values are {"t": <letter>, "v": <value>} with the same letters.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

namespace qrxtest {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// "a=1&b=%20" into its decoded fields, in order.
FormFields ParseForm(const std::string& body);
// The first value of `key`, or empty.
std::string FormValue(const FormFields& fields, const std::string& key);
std::vector<std::string> FormValues(const FormFields& fields, const std::string& key);

std::wstring Utf8ToWideText(const std::string& text);
std::string WideToUtf8Text(const std::wstring& text);

// A JSON string literal of `text`.
std::string JsonString(const std::wstring& text);
// The JSON value of a variant; false (and {"t":"x"}) for types a page cannot receive.
bool VariantToJson(const VARIANT& value, std::string& json);

// A non-function argument ("i:5", "s:text") as a variant; false for unknown forms.
bool ArgumentToVariant(const std::string& argument, VARIANT& value);

// "0x80020005".
std::string HexHResult(HRESULT hr);

}  // namespace qrxtest
