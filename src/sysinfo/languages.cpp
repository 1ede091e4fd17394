#include "sysinfo/languages.h"

namespace qrx {

const LanguageRow kLanguages[kLanguageCount] = {
    {0x0409, L"other", L"Other"},  // 0
    {0x0409, L"en", L"English"},  // 1
    {0x040C, L"fr", L"French"},  // 2
    {0x0407, L"de", L"German"},  // 3
    {0x0410, L"it", L"Italian"},  // 4
    {0x0411, L"jp", L"Japanese"},  // 5
    {0x0C0A, L"es", L"Spanish"},  // 6
    {0x0416, L"pt", L"Portuguese"},  // 7
    {0x0413, L"nl", L"Dutch"},  // 8
    {0x0412, L"ko", L"Korean"},  // 9
    {0x0419, L"ru", L"Russian"},  // 10
    {0x0405, L"cs", L"Czech"},  // 11
    {0x0804, L"zh", L"Simplified Chinese"},  // 12
    {0x0404, L"tw", L"Traditional Chinese"},  // 13
    {0x0436, L"af", L"Afrikaans"},  // 14
    {0x041C, L"sq", L"Albanian"},  // 15
    {0x045E, L"am", L"Amharic"},  // 16
    {0x0401, L"ar", L"Arabic"},  // 17
    {0x042B, L"hy", L"Armenian"},  // 18
    {0x044D, L"as", L"Assamese"},  // 19
    {0x046D, L"ba", L"Bashkir"},  // 20
    {0x042D, L"eu", L"Basque"},  // 21
    {0x0423, L"be", L"Belarusian"},  // 22
    {0x0445, L"bn", L"Bengali"},  // 23
    {0x047E, L"br", L"Breton"},  // 24
    {0x141A, L"bs", L"Bosnian"},  // 25
    {0x0402, L"bg", L"Bulgarian"},  // 26
    {0x0403, L"ca", L"Catalan"},  // 27
    {0x0483, L"co", L"Corsican"},  // 28
    {0x041A, L"hr", L"Croatian"},  // 29
    {0x0406, L"da", L"Danish"},  // 30
    {0x0465, L"dv", L"Divehi"},  // 31
    {0x0425, L"et", L"Estonian"},  // 32
    {0x040B, L"fi", L"Finnish"},  // 33
    {0x0462, L"fy", L"Frisian"},  // 34
    {0x0456, L"gl", L"Galician"},  // 35
    {0x0437, L"ka", L"Georgian"},  // 36
    {0x0408, L"el", L"Greek"},  // 37
    {0x046F, L"kl", L"Greenlandic"},  // 38
    {0x0447, L"gu", L"Gujarati"},  // 39
    {0x0468, L"ha", L"Hausa"},  // 40
    {0x040D, L"he", L"Hebrew"},  // 41
    {0x0439, L"hi", L"Hindi"},  // 42
    {0x040E, L"hu", L"Hungarian"},  // 43
    {0x040F, L"is", L"Icelandic"},  // 44
    {0x0470, L"ig", L"Igbo"},  // 45
    {0x0421, L"id", L"Indonesian"},  // 46
    {0x045D, L"iu", L"Inuktitut"},  // 47
    {0x083C, L"ga", L"Irish"},  // 48
    {0x044B, L"kn", L"Kannada"},  // 49
    {0x0860, L"ks", L"Kashmiri"},  // 50
    {0x043F, L"kk", L"Kazakh"},  // 51
    {0x0453, L"km", L"Khmer"},  // 52
    {0x0487, L"rw", L"Kinyarwanda"},  // 53
    {0x0440, L"ky", L"Kyrgyz"},  // 54
    {0x0454, L"lo", L"Lao"},  // 55
    {0x0426, L"lv", L"Latvian"},  // 56
    {0x0427, L"lt", L"Lithuanian"},  // 57
    {0x046E, L"lb", L"Luxembourgish"},  // 58
    {0x042F, L"mk", L"Macedonian"},  // 59
    {0x043E, L"ms", L"Malay"},  // 60
    {0x044C, L"ml", L"Malayalam"},  // 61
    {0x043A, L"mt", L"Maltese"},  // 62
    {0x0481, L"mi", L"Maori"},  // 63
    {0x044E, L"mr", L"Marathi"},  // 64
    {0x0450, L"mn", L"Mongolian"},  // 65
    {0x0861, L"ne", L"Nepali"},  // 66
    {0x0414, L"no", L"Norwegian"},  // 67
    {0x0482, L"oc", L"Occitan"},  // 68
    {0x0448, L"or", L"Oriya"},  // 69
    {0x0463, L"ps", L"Pashto"},  // 70
    {0x0429, L"fa", L"Persian"},  // 71
    {0x0415, L"pl", L"Polish"},  // 72
    {0x0446, L"pa", L"Punjabi"},  // 73
    {0x046B, L"qu", L"Quechua"},  // 74
    {0x0418, L"ro", L"Romanian"},  // 75
    {0x0417, L"rm", L"Romansh"},  // 76
    {0x043B, L"se", L"Sami"},  // 77
    {0x044F, L"sa", L"Sanskrit"},  // 78
    {0x0491, L"gd", L"Scottish Gaelic"},  // 79
    {0x181A, L"sr", L"Serbian"},  // 80
    {0x0459, L"sd", L"Sindhi"},  // 81
    {0x045B, L"si", L"Sinhalese"},  // 82
    {0x041B, L"sk", L"Slovak"},  // 83
    {0x0424, L"sl", L"Slovenian"},  // 84
    {0x046C, L"st", L"Sotho"},  // 85
    {0x0441, L"sw", L"Swahili"},  // 86
    {0x041D, L"sv", L"Swedish"},  // 87
    {0x0428, L"tg", L"Tajik"},  // 88
    {0x0449, L"ta", L"Tamil"},  // 89
    {0x0444, L"tt", L"Tatar"},  // 90
    {0x044A, L"te", L"Telugu"},  // 91
    {0x041E, L"th", L"Thai"},  // 92
    {0x0451, L"bo", L"Tibetan"},  // 93
    {0x0432, L"tn", L"Tswana"},  // 94
    {0x041F, L"tr", L"Turkish"},  // 95
    {0x0442, L"tk", L"Turkmen"},  // 96
    {0x0480, L"ug", L"Uighur"},  // 97
    {0x0422, L"uk", L"Ukrainian"},  // 98
    {0x0420, L"ur", L"Urdu"},  // 99
    {0x0443, L"uz", L"Uzbek"},  // 100
    {0x042A, L"vi", L"Vietnamese"},  // 101
    {0x0452, L"cy", L"Welsh"},  // 102
    {0x0488, L"wo", L"Wolof"},  // 103
    {0x0434, L"xh", L"Xhosa"},  // 104
    {0x0478, L"yi", L"Yiddish"},  // 105
    {0x046A, L"yo", L"Yoruba"},  // 106
    {0x0435, L"zu", L"Zulu"},  // 107
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

std::wstring GetLanguageCode(int index) { return kLanguages[index].code; }

std::wstring GetLanguageName(int index) { return kLanguages[index].name; }

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
