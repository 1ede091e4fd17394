// What the document host trusts: the pages of our own page folder, and nothing else. Pure
// decisions, taking their facts as arguments.
#pragma once

#include <string>

namespace htmlui {

// Where a refused navigation goes instead: a page with no script, no external object, and no
// request to anyone.
extern const wchar_t kRefusedNavigationTarget[];
// The log line of a refused navigation; %s is the URL as LoggableUrl gives it.
extern const wchar_t kLogNavigationRefused[];

// True when `url` is a file: URL of a file inside `pageFolder` (a local path such as
// "C:\ProgramData\QRX\x\pages", with or without a trailing backslash). The URL is percent-decoded
// once, "." and ".." segments are resolved (an escape above the drive refuses), and the folder is
// compared without regard to ASCII case. Every other scheme, a UNC path, a name Windows would
// change (trailing dot or space, a colon, a wildcard) and a malformed URL are not ours.
bool IsPageOfFolder(const std::wstring& url, const std::wstring& pageFolder);

// The folder of a page's path: "C:\a\Load.html" -> "C:\a"; empty when the path has no folder.
std::wstring FolderOfPage(const std::wstring& pagePath);

// A URL made safe for one log line: control characters become '?', and the text is cut to
// kMaxLoggedUrl characters.
constexpr size_t kMaxLoggedUrl = 512;
std::wstring LoggableUrl(const std::wstring& url);

// The answer to the engine's ProcessUrlAction: `decided` false leaves the action to the engine's
// own zone settings; otherwise `policy` is the policy to report.
struct UrlActionAnswer {
  bool decided;
  unsigned long policy;
};
// Script runs only in our pages; ActiveX (download, run, scripting, scriptlets), Java and binary
// behaviours are refused for every URL.
UrlActionAnswer DecideUrlAction(unsigned long action, bool ourPage);

// The URL actions and policies decided above (urlmon.h spells them URLACTION_* and URLPOLICY_*).
constexpr unsigned long kActionDownloadSignedActiveX = 0x1001;
constexpr unsigned long kActionDownloadUnsignedActiveX = 0x1004;
constexpr unsigned long kActionActiveXRun = 0x1200;
constexpr unsigned long kActionActiveXOverrideObjectSafety = 0x1201;
constexpr unsigned long kActionActiveXOverrideDataSafety = 0x1202;
constexpr unsigned long kActionActiveXOverrideScriptSafety = 0x1203;
constexpr unsigned long kActionActiveXScriptletRun = 0x1209;
constexpr unsigned long kActionScriptRun = 0x1400;
constexpr unsigned long kActionScriptOverrideSafety = 0x1401;
constexpr unsigned long kActionScriptJavaUse = 0x1402;
constexpr unsigned long kActionScriptSafeActiveX = 0x1405;
constexpr unsigned long kActionHtmlJavaRun = 0x1605;
constexpr unsigned long kActionJavaPermissions = 0x1C00;
constexpr unsigned long kActionBehaviorRun = 0x2000;
constexpr unsigned long kPolicyAllow = 0x0;
constexpr unsigned long kPolicyDisallow = 0x3;
constexpr unsigned long kPolicyJavaProhibit = 0x0;

}  // namespace htmlui
