#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/run_sequence.h"
#include "common/unique_any.h"
#include "support/test_support.h"
#include "sysinfo/languages.h"

namespace {

struct IconTraits {
  using type = HICON;
  static type Invalid() { return nullptr; }
  static void Close(type icon) { DestroyIcon(icon); }
};
struct GdiObjectTraits {
  using type = HBITMAP;
  static type Invalid() { return nullptr; }
  static void Close(type object) { DeleteObject(object); }
};
using UniqueIcon = qrx::UniqueAny<IconTraits>;
using UniqueGdiObject = qrx::UniqueAny<GdiObjectTraits>;

struct Refusal {
  WORD langId;
  const wchar_t* text;
  const wchar_t* caption;
};

// The refusal texts, byte for byte, in every language the program carries.
const Refusal kRefusals[] = {
    {1028, L"\u60a8\u6c92\u6709\u8db3\u5920\u7684\u6b0a\u9650\u5b8c\u6210\u6b64\u5b89\u88dd\u4f5c\u696d\u3002\u8acb\u4ee5\u7ba1\u7406\u54e1\u7684\u8eab\u5206\u767b\u5165\uff0c\u7136\u5f8c\u91cd\u65b0\u57f7\u884c\u5b89\u88dd\u4f5c\u696d\u3002",
     L"\u8b66\u544a"},
    {1029, L"Nem\u00e1te dostate\u010dn\u00e1 opr\u00e1vn\u011bn\u00ed k dokon\u010den\u00ed t\u00e9to instalace. P\u0159ihlaste se jako spr\u00e1vce a zkuste tuto instalaci zopakovat.",
     L"Upozorn\u011bn\u00ed"},
    {1031, L"Sie verf\u00fcgen nicht \u00fcber die erforderlichen Rechte, um diese Installation auszuf\u00fchren. Melden Sie sich als Administrator an und versuchen Sie es dann erneut.",
     L"Warnung"},
    {1033, L"You do not have sufficient privileges to complete this installation. Log on as administrator and retry this installation.",
     L"Warning"},
    {1036, L"Vous ne disposez pas des droits suffisants pour effectuer cette installation. Connectez-vous en tant qu'administrateur et r\u00e9essayez.",
     L"Avertissement"},
    {1040, L"Privilegi insufficienti per completare l'installazione. Accedere come amministratore, quindi ripetere l'installazione.",
     L"Avviso"},
    {1041, L"\u3053\u306e\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3092\u884c\u3046\u6a29\u9650\u304c\u3042\u308a\u307e\u305b\u3093\u3002\u7ba1\u7406\u8005\u3068\u3057\u3066\u30ed\u30b0\u30aa\u30f3\u3057\u3001\u518d\u8a66\u884c\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
     L"\u8b66\u544a"},
    {1042, L"\ucda9\ubd84\ud55c \uad8c\ud55c\uc774 \uc5c6\uc5b4 \uc124\uce58\ub97c \uc644\ub8cc\ud560 \uc218 \uc5c6\uc2b5\ub2c8\ub2e4. \uad00\ub9ac\uc790\ub85c \ub85c\uadf8\uc628\ud558\uace0 \uc124\uce58\ub97c \ub2e4\uc2dc \uc2dc\ub3c4\ud574\uc8fc\uc138\uc694.",
     L"\uacbd\uace0"},
    {1043, L"U bent niet gemachtigd om deze installatie te voltooien. Meld u aan als beheerder en probeer de installatie opnieuw uit te voeren.",
     L"Waarschuwing"},
    {1046, L"Voc\u00ea n\u00e3o disp\u00f5e de privil\u00e9gios suficientes para concluir esta instala\u00e7\u00e3o. Fa\u00e7a logon como administrador e tente realizar a instala\u00e7\u00e3o novamente.",
     L"Aviso"},
    {1049, L"\u0423 \u0432\u0430\u0441 \u043d\u0435\u0434\u043e\u0441\u0442\u0430\u0442\u043e\u0447\u043d\u043e \u043f\u043e\u043b\u043d\u043e\u043c\u043e\u0447\u0438\u0439, \u0447\u0442\u043e\u0431\u044b \u0432\u044b\u043f\u043e\u043b\u043d\u0438\u0442\u044c \u044d\u0442\u0443 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0443. \u0412\u043e\u0439\u0434\u0438\u0442\u0435 \u0432 \u0441\u0438\u0441\u0442\u0435\u043c\u0443 \u0432 \u043a\u0430\u0447\u0435\u0441\u0442\u0432\u0435 \u0430\u0434\u043c\u0438\u043d\u0438\u0441\u0442\u0440\u0430\u0442\u043e\u0440\u0430 \u0438 \u043f\u043e\u0432\u0442\u043e\u0440\u0438\u0442\u0435 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0443.",
     L"\u041f\u0440\u0435\u0434\u0443\u043f\u0440\u0435\u0436\u0434\u0435\u043d\u0438\u0435"},
    {2052, L"\u60a8\u4e0d\u5177\u5907\u5b8c\u6210\u6b64\u5b89\u88c5\u7684\u6743\u9650\u3002\u8bf7\u4ee5\u7ba1\u7406\u5458\u8eab\u4efd\u767b\u5f55\uff0c\u7136\u540e\u91cd\u8bd5\u6b64\u5b89\u88c5\u3002",
     L"\u8b66\u544a"},
    {3082, L"No dispone de privilegios suficientes para completar esta instalaci\u00f3n. Inicie sesi\u00f3n como administrador y vuelva a intentar realizar la instalaci\u00f3n.",
     L"Advertencia"},
};

// Reads one string of a module's string table in one language, without any fall-back.
std::wstring ReadString(HMODULE module, UINT id, WORD langId) {
  HRSRC resource = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), langId);
  if (!resource) return L"<missing>";
  HGLOBAL loaded = LoadResource(module, resource);
  const auto* words = static_cast<const WORD*>(LockResource(loaded));
  for (UINT i = 0; i < id % 16; ++i) words += 1 + *words;
  return std::wstring(reinterpret_cast<const wchar_t*>(words + 1), *words);
}

std::string ReadResource(HMODULE module, LPCWSTR type, LPCWSTR name) {
  HRSRC resource = FindResourceW(module, name, type);
  if (!resource) return std::string();
  HGLOBAL loaded = LoadResource(module, resource);
  return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, resource));
}

BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// Checks one built executable, loaded as data (the 32-bit one cannot run here).
void CheckExecutableResources(const std::wstring& path) {
  SCOPED_TRACE(std::string(path.begin(), path.end()));
  qrx::UniqueModule module(
      LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(module.valid()) << GetLastError();

  const std::string manifest = ReadResource(module.get(), RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"),
            std::string::npos);
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
  for (const char* id : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                         "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>"), std::string::npos) << id;
  }

  for (const Refusal& refusal : kRefusals) {
    EXPECT_EQ(ReadString(module.get(), 102, refusal.langId), refusal.text) << refusal.langId;
    EXPECT_EQ(ReadString(module.get(), 103, refusal.langId), refusal.caption) << refusal.langId;
  }
  int languages = 0;
  EnumResourceLanguagesW(module.get(), RT_STRING, MAKEINTRESOURCEW(102 / 16 + 1), CountLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, 13);

  EXPECT_NE(FindResourceW(module.get(), MAKEINTRESOURCEW(101), RT_GROUP_ICON), nullptr);
  // Each size of the icon draws: 16 and 32 from BMP entries, 48 from a PNG entry.
  for (int size : {16, 32, 48}) {
    UniqueIcon icon(static_cast<HICON>(LoadImageW(module.get(), MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0)));
    ASSERT_TRUE(icon.valid()) << size;
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info)) << size;
    UniqueGdiObject color(info.hbmColor);
    UniqueGdiObject mask(info.hbmMask);
    BITMAP bitmap = {};
    ASSERT_TRUE(color.valid()) << size;
    ASSERT_NE(GetObjectW(color.get(), sizeof(bitmap), &bitmap), 0) << size;
    EXPECT_EQ(bitmap.bmWidth, size);
    EXPECT_EQ(bitmap.bmHeight, size);
  }

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, &data[0]));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x004F0001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x004F0001u);
  wchar_t* version = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                             reinterpret_cast<void**>(&version), &length));
  EXPECT_STREQ(version, L"1.0.79.1");
}

TEST(Resources, ShippedExecutable) { CheckExecutableResources(QRX_TEST_SHIPPED_EXE); }

TEST(Resources, TestBuildExecutable) { CheckExecutableResources(QRX_TEST_PRODUCT_EXE); }

TEST(Refusal, EnglishWhenTheLanguageHasNoTexts) {
  std::wstring text;
  std::wstring caption;
  qrx::LoadRefusalTexts(14, text, caption);  // Afrikaans
  EXPECT_EQ(text, kRefusals[3].text);
  EXPECT_EQ(caption, L"Warning");
  qrx::LoadRefusalTexts(10, text, caption);  // Russian
  EXPECT_EQ(caption, L"\u041f\u0440\u0435\u0434\u0443\u043f\u0440\u0435\u0436\u0434\u0435\u043d\u0438\u0435");
}

// Run once per UI language by the test runner; QRX_EXPECT_REFUSAL_LANGID names the texts expected.
TEST(Refusal, FollowsTheUserInterfaceLanguage) {
  const std::wstring expected = qrxtest::GetEnv(L"QRX_EXPECT_REFUSAL_LANGID");
  const WORD langId = static_cast<WORD>(expected.empty() ? 1033 : _wtoi(expected.c_str()));
  const std::wstring index = qrxtest::GetEnv(L"QRX_EXPECT_LANGUAGE_INDEX");
  if (!index.empty()) {
    EXPECT_EQ(qrx::GetUiLanguageIndex(), _wtoi(index.c_str()));
  }
  std::wstring text;
  std::wstring caption;
  qrx::LoadRefusalTexts(qrx::GetUiLanguageIndex(), text, caption);
  for (const Refusal& refusal : kRefusals) {
    if (refusal.langId != langId) continue;
    EXPECT_EQ(text, refusal.text);
    EXPECT_EQ(caption, refusal.caption);
    return;
  }
  FAIL() << "no refusal texts for " << langId;
}

}  // namespace
