#include "pages/bridge_host/wire.h"

#include <cstdio>
#include <cstdlib>

namespace qrxtest {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i] == '+' ? ' ' : text[i];
  }
  return out;
}

}  // namespace

FormFields ParseForm(const std::string& body) {
  FormFields fields;
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string pair = body.substr(start, end - start);
    const size_t equals = pair.find('=');
    if (!pair.empty()) {
      fields.emplace_back(PercentDecode(pair.substr(0, equals)),
                          equals == std::string::npos ? std::string() : PercentDecode(pair.substr(equals + 1)));
    }
    start = end + 1;
  }
  return fields;
}

std::string FormValue(const FormFields& fields, const std::string& key) {
  for (const auto& field : fields) {
    if (field.first == key) return field.second;
  }
  return std::string();
}

std::vector<std::string> FormValues(const FormFields& fields, const std::string& key) {
  std::vector<std::string> values;
  for (const auto& field : fields) {
    if (field.first == key) values.push_back(field.second);
  }
  return values;
}

std::wstring Utf8ToWideText(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

std::string WideToUtf8Text(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
  return narrow;
}

std::string JsonString(const std::wstring& text) {
  std::string out = "\"";
  for (const char c : WideToUtf8Text(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

bool VariantToJson(const VARIANT& value, std::string& json) {
  char number[64];
  switch (value.vt) {
    case VT_EMPTY:
      json = "{\"t\":\"u\"}";
      return true;
    case VT_NULL:
      json = "{\"t\":\"n\"}";
      return true;
    case VT_BSTR:
      json = "{\"t\":\"s\",\"v\":" +
             JsonString(value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : std::wstring()) + "}";
      return true;
    case VT_BOOL:
      json = std::string("{\"t\":\"b\",\"v\":") + (value.boolVal == VARIANT_FALSE ? "false" : "true") + "}";
      return true;
    case VT_I4:
    case VT_INT:
      std::snprintf(number, sizeof(number), "{\"t\":\"i\",\"v\":%ld}", static_cast<long>(value.lVal));
      json = number;
      return true;
    case VT_I2:
      std::snprintf(number, sizeof(number), "{\"t\":\"i\",\"v\":%d}", value.iVal);
      json = number;
      return true;
    case VT_UI4:
    case VT_UINT:
      std::snprintf(number, sizeof(number), "{\"t\":\"d\",\"v\":%lu}", static_cast<unsigned long>(value.ulVal));
      json = number;
      return true;
    case VT_R8:
      std::snprintf(number, sizeof(number), "{\"t\":\"d\",\"v\":%.17g}", value.dblVal);
      json = number;
      return true;
    default:
      std::snprintf(number, sizeof(number), "{\"t\":\"x\",\"v\":%u}", static_cast<unsigned>(value.vt));
      json = number;
      return false;
  }
}

bool ArgumentToVariant(const std::string& argument, VARIANT& value) {
  VariantInit(&value);
  if (argument.size() < 2 || argument[1] != ':') return false;
  const std::string text = argument.substr(2);
  switch (argument[0]) {
    case 'i':
      value.vt = VT_I4;
      value.lVal = static_cast<LONG>(std::strtol(text.c_str(), nullptr, 10));
      return true;
    case 'd':
      value.vt = VT_R8;
      value.dblVal = std::strtod(text.c_str(), nullptr);
      return true;
    case 's': {
      const std::wstring wide = Utf8ToWideText(text);
      value.vt = VT_BSTR;
      value.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      return value.bstrVal != nullptr;
    }
    case 'b':
      value.vt = VT_BOOL;
      value.boolVal = text == "1" ? VARIANT_TRUE : VARIANT_FALSE;
      return true;
    case 'u':
      return true;
    case 'n':
      value.vt = VT_NULL;
      return true;
    default:
      return false;
  }
}

std::string HexHResult(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace qrxtest
