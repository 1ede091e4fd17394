#include "sysinfo/languages.h"

namespace qrx {

const LanguageRow kLanguages[kLanguageCount] = {
    {0x0409, "other", "Other"},  // 0
    {0x0409, "en", "English"},  // 1
    {0x040C, "fr", "French"},  // 2
    {0x0407, "de", "German"},  // 3
    {0x0410, "it", "Italian"},  // 4
    {0x0411, "jp", "Japanese"},  // 5
    {0x0C0A, "es", "Spanish"},  // 6
    {0x0416, "pt", "Portuguese"},  // 7
    {0x0413, "nl", "Dutch"},  // 8
    {0x0412, "ko", "Korean"},  // 9
    {0x0419, "ru", "Russian"},  // 10
    {0x0405, "cs", "Czech"},  // 11
    {0x0804, "zh", "Simplified Chinese"},  // 12
    {0x0404, "tw", "Traditional Chinese"},  // 13
    {0x0436, "af", "Afrikaans"},  // 14
    {0x041C, "sq", "Albanian"},  // 15
    {0x045E, "am", "Amharic"},  // 16
    {0x0401, "ar", "Arabic"},  // 17
    {0x042B, "hy", "Armenian"},  // 18
    {0x044D, "as", "Assamese"},  // 19
    {0x046D, "ba", "Bashkir"},  // 20
    {0x042D, "eu", "Basque"},  // 21
    {0x0423, "be", "Belarusian"},  // 22
    {0x0445, "bn", "Bengali"},  // 23
    {0x047E, "br", "Breton"},  // 24
    {0x141A, "bs", "Bosnian"},  // 25
    {0x0402, "bg", "Bulgarian"},  // 26
    {0x0403, "ca", "Catalan"},  // 27
    {0x0483, "co", "Corsican"},  // 28
    {0x041A, "hr", "Croatian"},  // 29
    {0x0406, "da", "Danish"},  // 30
    {0x0465, "dv", "Divehi"},  // 31
    {0x0425, "et", "Estonian"},  // 32
    {0x040B, "fi", "Finnish"},  // 33
    {0x0462, "fy", "Frisian"},  // 34
    {0x0456, "gl", "Galician"},  // 35
    {0x0437, "ka", "Georgian"},  // 36
    {0x0408, "el", "Greek"},  // 37
    {0x046F, "kl", "Greenlandic"},  // 38
    {0x0447, "gu", "Gujarati"},  // 39
    {0x0468, "ha", "Hausa"},  // 40
    {0x040D, "he", "Hebrew"},  // 41
    {0x0439, "hi", "Hindi"},  // 42
    {0x040E, "hu", "Hungarian"},  // 43
    {0x040F, "is", "Icelandic"},  // 44
    {0x0470, "ig", "Igbo"},  // 45
    {0x0421, "id", "Indonesian"},  // 46
    {0x045D, "iu", "Inuktitut"},  // 47
    {0x083C, "ga", "Irish"},  // 48
    {0x044B, "kn", "Kannada"},  // 49
    {0x0860, "ks", "Kashmiri"},  // 50
    {0x043F, "kk", "Kazakh"},  // 51
    {0x0453, "km", "Khmer"},  // 52
    {0x0487, "rw", "Kinyarwanda"},  // 53
    {0x0440, "ky", "Kyrgyz"},  // 54
    {0x0454, "lo", "Lao"},  // 55
    {0x0426, "lv", "Latvian"},  // 56
    {0x0427, "lt", "Lithuanian"},  // 57
    {0x046E, "lb", "Luxembourgish"},  // 58
    {0x042F, "mk", "Macedonian"},  // 59
    {0x043E, "ms", "Malay"},  // 60
    {0x044C, "ml", "Malayalam"},  // 61
    {0x043A, "mt", "Maltese"},  // 62
    {0x0481, "mi", "Maori"},  // 63
    {0x044E, "mr", "Marathi"},  // 64
    {0x0450, "mn", "Mongolian"},  // 65
    {0x0861, "ne", "Nepali"},  // 66
    {0x0414, "no", "Norwegian"},  // 67
    {0x0482, "oc", "Occitan"},  // 68
    {0x0448, "or", "Oriya"},  // 69
    {0x0463, "ps", "Pashto"},  // 70
    {0x0429, "fa", "Persian"},  // 71
    {0x0415, "pl", "Polish"},  // 72
    {0x0446, "pa", "Punjabi"},  // 73
    {0x046B, "qu", "Quechua"},  // 74
    {0x0418, "ro", "Romanian"},  // 75
    {0x0417, "rm", "Romansh"},  // 76
    {0x043B, "se", "Sami"},  // 77
    {0x044F, "sa", "Sanskrit"},  // 78
    {0x0491, "gd", "Scottish Gaelic"},  // 79
    {0x181A, "sr", "Serbian"},  // 80
    {0x0459, "sd", "Sindhi"},  // 81
    {0x045B, "si", "Sinhalese"},  // 82
    {0x041B, "sk", "Slovak"},  // 83
    {0x0424, "sl", "Slovenian"},  // 84
    {0x046C, "st", "Sotho"},  // 85
    {0x0441, "sw", "Swahili"},  // 86
    {0x041D, "sv", "Swedish"},  // 87
    {0x0428, "tg", "Tajik"},  // 88
    {0x0449, "ta", "Tamil"},  // 89
    {0x0444, "tt", "Tatar"},  // 90
    {0x044A, "te", "Telugu"},  // 91
    {0x041E, "th", "Thai"},  // 92
    {0x0451, "bo", "Tibetan"},  // 93
    {0x0432, "tn", "Tswana"},  // 94
    {0x041F, "tr", "Turkish"},  // 95
    {0x0442, "tk", "Turkmen"},  // 96
    {0x0480, "ug", "Uighur"},  // 97
    {0x0422, "uk", "Ukrainian"},  // 98
    {0x0420, "ur", "Urdu"},  // 99
    {0x0443, "uz", "Uzbek"},  // 100
    {0x042A, "vi", "Vietnamese"},  // 101
    {0x0452, "cy", "Welsh"},  // 102
    {0x0488, "wo", "Wolof"},  // 103
    {0x0434, "xh", "Xhosa"},  // 104
    {0x0478, "yi", "Yiddish"},  // 105
    {0x046A, "yo", "Yoruba"},  // 106
    {0x0435, "zu", "Zulu"},  // 107
};

namespace {

struct LangIdIndex {
  WORD langId;
  int index;
};

// Full LANGIDs that are decided before the primary-language rule.
const LangIdIndex kExactLangIds[] = {
    {0x0404, 13}, {0x0405, 11}, {0x0407, 3}, {0x0409, 1},  {0x040C, 2},  {0x0410, 4},
    {0x0411, 5},  {0x0412, 9},  {0x0413, 8}, {0x0416, 7},  {0x0419, 10}, {0x0804, 12},
    {0x080A, 6},  {0x0816, 7},  {0x0C04, 13}, {0x0C0A, 6}, {0x1004, 12}, {0x1404, 13},
};

// The Serbian, Croatian and Bosnian group shares primary language 0x1A.
int SerboCroatianIndex(WORD langId) {
  switch (langId) {
    case 0x141A:
    case 0x201A:
      return 25;
    case 0x081A:
    case 0x0C1A:
    case 0x181A:
    case 0x1C1A:
    case 0x241A:
    case 0x281A:
    case 0x2C1A:
    case 0x301A:
      return 80;
    case 0x041A:
    case 0x101A:
      return 29;
    default:
      return 0;
  }
}

}  // namespace

int LanguageIndexFromLangId(WORD langId) {
  for (const LangIdIndex& entry : kExactLangIds) {
    if (entry.langId == langId) return entry.index;
  }
  const WORD primary = langId & 0x3FF;
  if (primary == 0x1A) return SerboCroatianIndex(langId);
  // Czech and Korean are known only by their full LANGIDs.
  if (primary == 0x05 || primary == 0x12) return 0;
  for (int index = 1; index < kLanguageCount; ++index) {
    if ((kLanguages[index].langId & 0x3FF) == primary) return index;
  }
  return 0;
}

namespace {

// The table's texts are ASCII: each character widens as it is.
std::wstring WidenAscii(const char* text) {
  std::wstring wide;
  while (*text != '\0') wide += static_cast<wchar_t>(*text++);
  return wide;
}

}  // namespace

std::wstring GetLanguageCode(int index) { return WidenAscii(kLanguages[index].code); }

std::wstring GetLanguageName(int index) { return WidenAscii(kLanguages[index].name); }

std::wstring StringFromTableBlock(const void* block, size_t blockBytes, unsigned id) {
  const auto* words = static_cast<const WORD*>(block);
  const size_t wordCount = blockBytes / sizeof(WORD);
  size_t position = 0;
  for (unsigned skip = id % 16; skip > 0; --skip) {
    if (position >= wordCount) return std::wstring();
    position += 1 + words[position];
  }
  if (position >= wordCount) return std::wstring();
  const size_t length = words[position];
  if (length > wordCount - position - 1) return std::wstring();
  return std::wstring(reinterpret_cast<const wchar_t*>(words + position + 1), length);
}

std::wstring BrowserNameFromValue(bool readOk, const wchar_t* buffer, size_t capacity) {
  if (!readOk) return L"Other";
  for (size_t i = 0; i < capacity; ++i) {
    if (buffer[i] == L'\0') return std::wstring(buffer, i);
  }
  return L"Other";
}

}  // namespace qrx
